// The tree object: defaults, setters, options, the header's defaults, the format
// registry and node memory.
#include <gtest/gtest.h>

#include "controls/vtree/vt_globals.h"
#include "platform/gdi/device_context.h"
#include "platform/base/clock.h"
#include "platform/gdi/gdi_objects.h"
#include "tree_test_support.h"

namespace {

using vtree_test::Build;
using vtree_test::TestTree;

TEST(TreeObject, ANewTreeHasItsDefaults) {
  TBaseViewTree tree(nullptr);
  EXPECT_EQ(tree.Width(), 200);
  EXPECT_EQ(tree.Height(), 100);
  EXPECT_EQ(tree.DefaultNodeHeight(), 18u);
  EXPECT_EQ(tree.Indent(), 18u);
  EXPECT_EQ(tree.NodeDataSize(), -1);
  EXPECT_EQ(tree.RootNodeCount(), 0u);
  EXPECT_EQ(tree.Header().Height(), 17u);
  EXPECT_EQ(tree.IncrementalSearch(), isNone);
  EXPECT_EQ(tree.FocusedColumn(), NoColumn);
  EXPECT_EQ(tree.DragOperations(), doCopy | doMove);
  EXPECT_EQ(tree.AutoScrollInterval(), 1u);
  EXPECT_EQ(tree.TreeOptions().PaintOptions(), 0x1B60u);
  EXPECT_EQ(tree.TreeOptions().AutoOptions(), 0x0149u);
  EXPECT_EQ(tree.TreeOptions().MiscOptions(), 0x01A9u);
  EXPECT_EQ(tree.TreeOptions().SelectionOptions(), 0u);
  EXPECT_EQ(tree.Colors().Color(TVTColors::HotColor), clWindowText);
  EXPECT_EQ(tree.ClassName(), "TBaseViewTree");
  PViewNode root = tree.RootNode();
  EXPECT_EQ(root->NextSibling, root);
  EXPECT_EQ(TreeFromNode(root), &tree);
  EXPECT_EQ(root->States, vsInitialized | vsExpanded | vsHasChildren | vsVisible);
  EXPECT_EQ(tree.NodeUserData(root), nullptr);
}

TEST(TreeObject, StringTreeOptionsStartWithTheirDefaults) {
  TBaseViewTree tree(nullptr, ViewStringTreeClass, [](TViewTreeObject& owner) -> std::unique_ptr<TCustomViewTreeOptions> {
    return std::make_unique<TStringTreeOptions>(owner);
  });
  auto& options = dynamic_cast<TStringTreeOptions&>(tree.TreeOptions());
  EXPECT_EQ(options.StringOptions(), 0x05u);
  // Assigning copies every set through the setters, the string set included.
  TBaseViewTree other(nullptr, ViewStringTreeClass, [](TViewTreeObject& owner) -> std::unique_ptr<TCustomViewTreeOptions> {
    return std::make_unique<TStringTreeOptions>(owner);
  });
  auto& target = dynamic_cast<TStringTreeOptions&>(other.TreeOptions());
  options.SetStringOptions(toShowStaticText);
  options.SetSelectionOptions(toMultiSelect | toFullRowSelect);
  target.Assign(&options);
  EXPECT_EQ(target.StringOptions(), toShowStaticText);
  EXPECT_EQ(target.SelectionOptions(), toMultiSelect | toFullRowSelect);
}

TEST(TreeObject, LegacyOptionsLandInTheirSets) {
  TestTree tree;
  tree.TreeOptions().ReadLegacyOptions({"voAutoSort", "voShowTreeLines", "voMultiSelect", "voEditable",
                                        "voAnimatedToggle", "voNoSuchOption", "toAutoExpand"});
  EXPECT_EQ(tree.TreeOptions().AutoOptions(), toAutoSort);
  EXPECT_EQ(tree.TreeOptions().PaintOptions(), toShowTreeLines);
  EXPECT_EQ(tree.TreeOptions().SelectionOptions(), toMultiSelect);
  EXPECT_EQ(tree.TreeOptions().MiscOptions(), toEditable);
  EXPECT_EQ(tree.TreeOptions().AnimationOptions(), toAnimatedToggle);
}

TEST(TreeObject, SettersClampAndReact) {
  TestTree tree;
  tree.SetDefaultNodeHeight(0);
  EXPECT_EQ(tree.DefaultNodeHeight(), 18u);
  tree.SetDefaultNodeHeight(20);
  EXPECT_EQ(tree.RootNode()->TotalHeight, 20u);
  EXPECT_TRUE(tree.InState(tsNeedScale));
  tree.SetAutoScrollInterval(5000);
  EXPECT_EQ(tree.AutoScrollInterval(), 1000u);
  tree.SetAnimationDuration(0);
  EXPECT_EQ(tree.TreeOptions().AnimationOptions() & toAnimatedToggle, 0);
  tree.SetAnimationDuration(150);
  EXPECT_NE(tree.TreeOptions().AnimationOptions() & toAnimatedToggle, 0);
  tree.SetNodeDataSize(-5);
  EXPECT_EQ(tree.NodeDataSize(), -1);
}

TEST(TreeObject, ANewDataSizeRecreatesTheTopLevelNodes) {
  TestTree tree;
  auto n = Build(tree, {"A", "A/A1", "B", "C"});
  tree.ValidateNode(nullptr, true);
  std::vector<std::string> freed;
  tree.OnFreeNode = [&](TViewTreeObject*, PViewNode node) { freed.push_back(tree.Name(node)); };
  tree.SetNodeDataSize(24);
  EXPECT_EQ(freed.size(), 4u);
  EXPECT_EQ(tree.RootNodeCount(), 3u);
  EXPECT_EQ(tree.TotalCount(), 4u);
  for (PViewNode node = tree.GetFirstNoInit(); node != nullptr; node = node->NextSibling) {
    EXPECT_FALSE(node->Has(vsInitialized));
    EXPECT_EQ(node->ChildCount, 0u);
  }
}

TEST(TreeObject, RootCountWaitsForTheEndOfLoading) {
  TestTree tree;
  tree.BeginLoading();
  tree.SetRootNodeCount(5);
  EXPECT_EQ(tree.RootNodeCount(), 0u);
  EXPECT_TRUE(tree.InState(tsNeedRootCountUpdate));
  tree.EndLoading();
  EXPECT_EQ(tree.RootNodeCount(), 5u);
  EXPECT_EQ(tree.VisibleCount(), 5u);
  EXPECT_FALSE(tree.InState(tsNeedRootCountUpdate));
  tree.SetRootNodeCount(2);
  EXPECT_EQ(tree.TotalCount(), 3u);
}

TEST(TreeObject, ReservedInternalDataSitsBeforeUserData) {
  TestTree tree;
  PViewNode before = tree.Add(nullptr, "A");
  const std::size_t offset = tree.ReserveNodeDataSpace(5);
  EXPECT_EQ(offset, NodeRecordSize);
  EXPECT_EQ(tree.ReserveNodeDataSpace(4), NodeRecordSize + 8);
  tree.DeleteNode(before);
  PViewNode node = tree.Add(nullptr, "B");
  auto user = reinterpret_cast<std::uintptr_t>(tree.NodeUserData(node));
  EXPECT_EQ(user - reinterpret_cast<std::uintptr_t>(node), NodeRecordSize + 16);
  EXPECT_EQ(user % alignof(void*), 0u);
  EXPECT_EQ(tree.RootNode()->NextSibling, tree.RootNode());
  EXPECT_EQ(node->Parent, tree.RootNode());
}

TEST(TreeObject, OptionReactionsRunOnlyOnRealChanges) {
  TestTree tree;
  tree.TreeOptions().SetSelectionOptions(toMultiSelect);
  auto n = Build(tree, {"A", "B", "C"});
  for (const char* name : {"A", "B", "C"}) tree.SetSelected(n.at(name), true);
  tree.TreeOptions().SetSelectionOptions(toMultiSelect);
  EXPECT_EQ(tree.SelectedCount(), 3u);
  tree.TreeOptions().SetSelectionOptions(toMultiSelect | toFullRowSelect);
  EXPECT_EQ(tree.SelectedCount(), 3u);
  tree.TreeOptions().SetSelectionOptions(toFullRowSelect);
  EXPECT_EQ(tree.SelectedCount(), 0u);
  EXPECT_FALSE(n.at("B")->Has(vsSelected));
}

TEST(TreeObject, AnimationRunsItsStepsAndTellsTheEnd) {
  platform::test_clock::Freeze(1000, 0);
  TestTree tree;
  std::vector<std::pair<int, int>> calls;
  auto record = [&](int step, int size) {
    calls.emplace_back(step, size);
    return true;
  };
  tree.Animate(10, 0, record);
  EXPECT_TRUE(calls.empty());
  tree.Animate(10, 100, record);
  ASSERT_EQ(calls.size(), 11u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(calls[static_cast<std::size_t>(i)], std::make_pair(i, 1));
  EXPECT_EQ(calls.back(), std::make_pair(0, 0));
  EXPECT_FALSE(tree.InState(tsInAnimation));
  // A callback that stops ends the steps; the end is still told.
  calls.clear();
  tree.Animate(10, 100, [&](int step, int size) {
    calls.emplace_back(step, size);
    return false;
  });
  EXPECT_EQ(calls.size(), 2u);
  platform::test_clock::Release();
}

TEST(TreeObject, OwnedPartsAssign) {
  TestTree tree, other;
  tree.Colors().SetColor(TVTColors::GridLineColor, 0x123456);
  other.Colors().Assign(&tree.Colors());
  EXPECT_EQ(other.Colors().Color(TVTColors::GridLineColor), 0x123456);
  tree.ScrollBarOptions().SetScrollBars(ssVertical);
  tree.ScrollBarOptions().SetVerticalIncrement(7);
  other.ScrollBarOptions().Assign(&tree.ScrollBarOptions());
  EXPECT_EQ(other.ScrollBarOptions().ScrollBars(), ssVertical);
  EXPECT_EQ(other.ScrollBarOptions().VerticalIncrement(), 7);
  for (int i = 0; i < 3; ++i) tree.Header().Columns().Add();
  tree.Header().SetSortColumn(2);
  other.Header().Assign(&tree.Header());
  EXPECT_EQ(other.Header().SortColumn(), 2);
  EXPECT_EQ(other.Header().ColumnCount(), 3);
  EXPECT_THROW(other.Colors().Assign(&tree.Header()), EConvertError);
}

TEST(TreeHeader, SavedDefaultOptionsReadBackWithSortGlyphs) {
  TestTree tree;
  EXPECT_EQ(tree.Header().Options(), hoColumnResize | hoDrag | hoShowSortGlyphs);
  // A header with the default options writes none; reading nothing leaves the
  // defaults a new header has, so nothing is lost.
  EXPECT_FALSE(tree.Header().IsOptionsStored());
  tree.Header().SetOptions(hoColumnResize | hoDrag);
  EXPECT_TRUE(tree.Header().IsOptionsStored());
  EXPECT_EQ(tree.Header().MainColumn(), NoColumn);
}

TEST(TreeFormats, RegistryOrderAndFilters) {
  TBaseViewTree tree(nullptr);  // runs the one-time set-up
  const auto& globals = TreeGlobals();
  ASSERT_TRUE(globals.GlobalsReady);
  auto names = [](const std::vector<FORMATETC>& formats) {
    std::vector<WORD> numbers;
    for (const auto& f : formats) numbers.push_back(f.cfFormat);
    return numbers;
  };
  auto* list = ClipboardFormatList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(names(list->EnumerateFormats(&ViewStringTreeClass)),
            (std::vector<WORD>{globals.CF_VIRTUALTREE, globals.CF_HTML, globals.CF_VRTFNOOBJS, globals.CF_VRTF,
                               globals.CF_CSV, CF_UNICODETEXT, CF_TEXT}));
  EXPECT_EQ(names(list->EnumerateFormats(&BaseViewTreeClass)), std::vector<WORD>{globals.CF_VIRTUALTREE});
  const std::vector<std::string> allowed{"Plain text", "CSV"};
  EXPECT_EQ(names(list->EnumerateFormats(&ViewStringTreeClass, &allowed)), (std::vector<WORD>{globals.CF_CSV, CF_TEXT}));
  WORD format = 0;
  EXPECT_EQ(list->FindFormat("unicode TEXT", format), &CustomViewStringTreeClass);
  EXPECT_EQ(format, CF_UNICODETEXT);
  EXPECT_EQ(list->FindFormat("Nothing", format), nullptr);
  EXPECT_NE(globals.CF_VTREFERENCE, 0);
  EXPECT_EQ(list->FindFormat("View Tree Reference", format), nullptr);

  const std::size_t entries = list->Entries().size();
  RegisterFormatByNumber(0, &BaseViewTreeClass, 10);
  EXPECT_EQ(list->Entries().size(), entries);
  RegisterFormatByNumber(0xFFF0, &BaseViewTreeClass, 10);
  ASSERT_EQ(list->Entries().size(), entries + 1);
  EXPECT_EQ(list->Entries().front().Description, "");
  EXPECT_EQ(StandardFormatDescription(15), "File name(s)");

  // A tree takes only formats registered for its class.
  EXPECT_EQ(tree.ClipboardFormats().Add("CSV"), -1);
  EXPECT_EQ(tree.ClipboardFormats().Add("View Tree Data"), 0);
  TBaseViewTree strings(nullptr, ViewStringTreeClass);
  strings.SetClipboardFormats({"Plain text", "CSV", "Unknown", "CSV"});
  EXPECT_EQ(strings.ClipboardFormats().Names(), (std::vector<std::string>{"CSV", "Plain text"}));
}

TEST(TreeFormats, ShortenStringKeepsWhatFits) {
  HDC dc = CreateCompatibleDC(0);
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SIZE dots{}, a{};
  GetTextExtentPoint32W(dc, u"...", 3, &dots);
  GetTextExtentPoint32W(dc, u"a", 1, &a);
  ASSERT_GT(dots.cx, 0);
  EXPECT_EQ(ShortenString(dc, u"abcdef", dots.cx - 1), u"");
  EXPECT_EQ(ShortenString(dc, u"abcdef", dots.cx + a.cx), u"a...");
  EXPECT_EQ(ShortenString(dc, u"", 100), u"");
  EXPECT_EQ(ShortenString(dc, u"abcdef", 0), u"");
  DeleteDC(dc);
}

}  // namespace
