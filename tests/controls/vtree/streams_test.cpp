// The tree stream: a golden byte file written and read back, damaged streams that
// must neither read past their end nor leave wrong counts, and the node clipboard
// (copy, cut, paste within one tree and between two) with its data object.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "controls/vtree/vt_data_object.h"
#include "platform/com/ole_clipboard.h"
#include "platform/com/stream_object.h"
#include "platform/kernel/process.h"
#include "tree_test_support.h"

namespace {

using platform::com::ComPtr;
using vtree_test::Build;
using vtree_test::TestTree;

// Saves each node's name as its user chunk (nodes named "-" write nothing) and
// reads it back.
void KeepNames(TestTree& tree) {
  tree.OnSaveNode = [&tree](TViewTreeObject*, PViewNode node, TStream& stream) {
    const std::string name = tree.Name(node);
    if (name != "-") stream.WriteBuffer(name.data(), static_cast<std::int32_t>(name.size()));
  };
  tree.OnLoadNode = [&tree](TViewTreeObject*, PViewNode node, TStream& stream) {
    auto* data = tree.GetNodeData<TestTree::Data>(node);
    std::memset(data->name, 0, sizeof data->name);
    stream.Read(data->name, sizeof data->name - 1);
  };
}

std::string Saved(TestTree& tree, PViewNode node = nullptr) {
  TMemoryStream stream;
  tree.SaveToStream(stream, node);
  return std::string(stream.Memory().begin(), stream.Memory().end());
}

void Load(TestTree& tree, const std::string& bytes) {
  TMemoryStream stream;
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  stream.SetPosition(0);
  tree.LoadFromStream(stream);
}

// The tree as text: "name(children)" with every count and total checked against
// the links.
std::string Shape(TestTree& tree, PViewNode node, std::string& faults) {
  std::string out;
  std::uint32_t count = 1, height = node->NodeHeight, children = 0;
  for (PViewNode child = node->FirstChild; child != nullptr; child = child->NextSibling, ++children) {
    out += (out.empty() ? "" : " ") + Shape(tree, child, faults);
    count += child->TotalCount;
    if (node->Has(vsExpanded) && child->Has(vsVisible)) height += child->TotalHeight;
    if (child->Parent != node || child->Index != children) faults += " links of " + tree.Name(child);
  }
  if (children != node->ChildCount) faults += " child count of " + tree.Name(node);
  if (count != node->TotalCount) faults += " total count of " + tree.Name(node);
  if (height != node->TotalHeight) faults += " total height of " + tree.Name(node);
  return node == tree.RootNode() ? out : tree.Name(node) + (out.empty() ? "" : "(" + out + ")");
}

std::string CheckedShape(TestTree& tree) {
  std::string faults;
  std::string shape = Shape(tree, tree.RootNode(), faults);
  std::uint32_t visible = 0;
  for (PViewNode n = tree.GetFirstNoInit(); n != nullptr; n = tree.GetNextNoInit(n)) visible += tree.GetFullyVisible(n);
  if (visible != tree.VisibleCount()) faults += " visible count";
  return faults.empty() ? shape : shape + " FAULTS:" + faults;
}

class TreeStreamTest : public testing::Test {
 protected:
  void SetUp() override {
    KeepNames(tree_);
    KeepNames(other_);
    tree_.SetClipboardFormats({"View Tree Data"});
    other_.SetClipboardFormats({"View Tree Data"});
    auto n = Build(tree_, {"a", "a/b", "a/c", "a/c/e", "d", "-"});
    tree_.SetExpanded(n["a"], true);
    tree_.SetCheckType(n["d"], ctCheckBox);
    tree_.SetNodeHeight(n["d"], 30);
    nodes_ = n;
  }
  TestTree tree_;
  TestTree other_;
  std::map<std::string, PViewNode> nodes_;
};

// The bytes are those of the checked-in file, and reading them gives the tree back.
TEST_F(TreeStreamTest, GoldenStreamReadsBack) {
  const std::string bytes = Saved(tree_);
  const std::string golden = pellix_test::ReadBytes(pellix_test::Fixture("controls/vtree_stream.bin"));
  EXPECT_EQ(bytes, golden) << "the stream's bytes changed";
  Load(other_, golden);
  EXPECT_EQ(CheckedShape(other_), "a(b c(e)) d ");
  EXPECT_EQ(Saved(other_), golden);
  PViewNode d = other_.RootNode()->FirstChild->NextSibling;
  EXPECT_EQ(d->NodeHeight, 30);
  EXPECT_EQ(d->CheckType, ctCheckBox);
  EXPECT_TRUE(other_.GetExpanded(other_.RootNode()->FirstChild));
}

TEST_F(TreeStreamTest, EmptyTreeAndSingleNode) {
  TestTree empty;
  const std::string bytes = Saved(empty);
  ASSERT_EQ(bytes.size(), 16u);
  EXPECT_EQ(bytes.substr(12), std::string(4, '\0'));
  const std::string one = Saved(tree_, nodes_["c"]);
  EXPECT_EQ(one[12], 1);
  Load(other_, one);
  EXPECT_EQ(CheckedShape(other_), "c(e)");
}

// Loading clears the tree, selected nodes of a single-selection tree arrive
// unselected, and in a multi-selection tree they join the selection.
TEST_F(TreeStreamTest, SelectionFollowsTheTreesRule) {
  tree_.SetSelected(nodes_["b"], true);
  const std::string bytes = Saved(tree_);
  other_.Add(nullptr, "old");
  Load(other_, bytes);
  EXPECT_EQ(CheckedShape(other_), "a(b c(e)) d ");
  EXPECT_EQ(other_.SelectedCount(), 0u);
  for (PViewNode n = other_.GetFirstNoInit(); n != nullptr; n = other_.GetNextNoInit(n)) {
    EXPECT_FALSE(n->Has(vsSelected)) << other_.Name(n);
  }
  other_.TreeOptions().SetSelectionOptions(other_.TreeOptions().SelectionOptions() | toMultiSelect);
  Load(other_, bytes);
  ASSERT_EQ(other_.SelectedCount(), 1u);
  EXPECT_EQ(other_.Name(other_.SelectionArray()[0]), "b");
}

// Header errors, and what a damaged body leaves behind.
TEST_F(TreeStreamTest, DamagedStreams) {
  const std::string good = Saved(tree_);
  auto with = [&](std::size_t at, std::string bytes) {
    std::string damaged = good;
    damaged.replace(at, bytes.size(), bytes);
    return damaged;
  };
  auto u32 = [](std::uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  // The first node's base chunk (at 24, its size at 28) once more right after it, and
  // the node chunk's size (at 20) grown to hold it.
  auto twoBaseChunks = [&] {
    std::uint32_t nodeSize = 0, baseSize = 0;
    std::memcpy(&nodeSize, good.data() + 20, 4);
    std::memcpy(&baseSize, good.data() + 28, 4);
    std::string bytes = good;
    bytes.insert(24 + 8 + baseSize, good.substr(24, 8 + baseSize));
    return bytes.replace(20, 4, u32(nodeSize + 8 + baseSize));
  };
  // Offsets in the golden stream: the first node chunk at 16, its base chunk at 24,
  // the base body at 32 (child count first), b's node chunk at 49.
  struct Case {
    const char* name;
    std::string bytes;
    int helpContext;  // 0: the stream's read error; -1: loads
    const char* shape;
  };
  const std::vector<Case> cases = {
      {"too short for the magic", good.substr(0, 11), 2004, ""},
      {"wrong magic", with(2, "W"), 2002, ""},
      {"unknown version", with(6, std::string("\x03\0", 2)), 2003, ""},
      {"unit 4 is not checked", with(8, "x"), -1, "a(b c(e)) d "},
      {"count cut short", good.substr(0, 14), 0, ""},
      {"count larger than the chunks", with(12, u32(9)), -1, "a(b c(e)) d "},
      {"top chunk of another type", with(16, u32(7)), 2005, ""},
      // The node whose fields were read stays (without the name that follows them);
      // what its chunk claims beyond the data is refused.
      {"top chunk larger than the stream", with(20, u32(100000)), 0, "a(b c(e))"},
      {"huge child count", with(32, u32(0x7FFFFFFF)), 0, "(b c(e))"},
      {"second child cut off", good.substr(0, 120), 0, "(b)"},
      {"last node cut off", good.substr(0, good.size() - 3), 0, "a(b c(e)) d"},
      {"last node's user chunk cut off", good.substr(0, 0xE1), 0, "a(b c(e)) "},
      {"child chunk beyond its parent", with(53, u32(5000)), 0, "(b)"},
      {"a node with two base chunks", twoBaseChunks(), 0, "(b c(e))"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int helpContext = -1;
    try {
      Load(other_, c.bytes);
    } catch (const EViewTreeError& e) {
      helpContext = e.HelpContext();
    } catch (const EReadError&) {
      helpContext = 0;
    }
    EXPECT_EQ(helpContext, c.helpContext);
    EXPECT_EQ(CheckedShape(other_), c.shape);
  }
}

// Every prefix of the stream loads what it holds whole and keeps the tree exact; only
// prefixes that end between top-level nodes load without an error.
TEST_F(TreeStreamTest, EveryTruncationKeepsTheTreeConsistent) {
  const std::string good = Saved(tree_);
  const std::set<std::size_t> wholeNodes = {16, 16 + 8 + 0xA0, 16 + 8 + 0xA0 + 8 + 0x22};
  for (std::size_t length = 16; length < good.size(); ++length) {
    SCOPED_TRACE(length);
    bool failed = false;
    try {
      Load(other_, good.substr(0, length));
    } catch (const Exception&) {
      failed = true;
    }
    EXPECT_EQ(failed, wholeNodes.count(length) == 0);
    EXPECT_EQ(CheckedShape(other_).find("FAULTS"), std::string::npos) << CheckedShape(other_);
  }
}

TEST_F(TreeStreamTest, NestingDeeperThanTheBoundIsRefused) {
  TestTree deep;
  PViewNode parent = nullptr;
  for (int i = 0; i <= MaxStreamDepth + 1; ++i) {
    parent = deep.Add(parent, "n");
    deep.InitNode(parent);
  }
  const std::string bytes = Saved(deep);
  EXPECT_THROW(Load(other_, bytes), EReadError);
  // The levels up to the bound stay, with their counts.
  EXPECT_EQ(other_.TotalCount(), static_cast<std::uint32_t>(MaxStreamDepth) + 2);
  EXPECT_EQ(CheckedShape(other_).find("FAULTS"), std::string::npos);
}

// The application's reader sees its own chunk only; unknown chunks are passed over.
TEST_F(TreeStreamTest, UserChunkIsFencedAndUnknownChunksSkipped) {
  std::string bytes = Saved(tree_, nodes_["b"]);
  // Insert an unknown chunk after b's user chunk and grow the node chunk around it.
  const std::string unknown = std::string("\x09\0\0\0\x02\0\0\0zz", 10);
  bytes += unknown;
  std::uint32_t size = 0;
  std::memcpy(&size, bytes.data() + 20, 4);
  size += 10;
  std::memcpy(bytes.data() + 20, &size, 4);
  std::string seen;
  other_.OnLoadNode = [&](TViewTreeObject*, PViewNode, TStream& stream) {
    char buffer[64] = {};
    seen.assign(buffer, static_cast<std::size_t>(stream.Read(buffer, sizeof buffer)));
  };
  Load(other_, bytes);
  EXPECT_EQ(seen, "b");
  EXPECT_EQ(other_.TotalCount(), 2u);
}

TEST_F(TreeStreamTest, NodesNeverInitialisedAreWrittenWithoutChildren) {
  TestTree lazy;
  lazy.OnInitNode = [](TViewTreeObject*, PViewNode, PViewNode, TViewNodeInitStates& states) {
    states |= ivsHasChildren;
  };
  lazy.SetRootNodeCount(2);
  const std::string bytes = Saved(lazy);
  EXPECT_EQ(bytes.size(), 16u + 2 * (8 + 8 + 17));
  Load(other_, bytes);
  EXPECT_EQ(other_.TotalCount(), 3u);
}

// --- the node clipboard ---

class NodeClipboardTest : public TreeStreamTest {
 protected:
  void SetUp() override {
    TreeStreamTest::SetUp();
    ASSERT_TRUE(OpenClipboard(0));
    EmptyClipboard();
    CloseClipboard();
  }
};

TEST_F(NodeClipboardTest, CopyPasteIntoAnotherTree) {
  tree_.SetSelected(nodes_["c"], true);
  ASSERT_TRUE(tree_.CopyToClipboard());
  EXPECT_TRUE(nodes_["c"]->Has(vsCutOrCopy));
  EXPECT_TRUE(tree_.InState(tsCopyPending));
  other_.Add(nullptr, "x");
  other_.SetFocusedNode(other_.RootNode()->FirstChild);
  EXPECT_TRUE(other_.PasteFromClipboard());
  EXPECT_EQ(CheckedShape(other_), "x(c(e))");
  EXPECT_EQ(CheckedShape(tree_), "a(b c(e)) d -");
}

// A selected node inside a selected node travels inside it, once.
TEST_F(NodeClipboardTest, ASelectedChildTravelsOnlyWithItsSelectedParent) {
  tree_.TreeOptions().SetSelectionOptions(tree_.TreeOptions().SelectionOptions() | toMultiSelect);
  tree_.SetSelected(nodes_["a"], true);
  tree_.SetSelected(nodes_["c"], true);
  ASSERT_TRUE(tree_.CopyToClipboard());
  EXPECT_TRUE(other_.PasteFromClipboard());
  EXPECT_EQ(CheckedShape(other_), "a(b c(e))");
  ASSERT_TRUE(tree_.CutToClipboard());
  tree_.SetFocusedNode(nodes_["d"]);
  EXPECT_TRUE(tree_.PasteFromClipboard());
  EXPECT_EQ(CheckedShape(tree_), "d(a(b c(e))) -");
}

TEST_F(NodeClipboardTest, CutPasteWithinOneTreeMovesTheNodes) {
  tree_.SetSelected(nodes_["c"], true);
  ASSERT_TRUE(tree_.CutToClipboard());
  EXPECT_TRUE(tree_.InState(tsCutPending));
  tree_.SetFocusedNode(nodes_["d"]);
  EXPECT_TRUE(tree_.PasteFromClipboard());
  EXPECT_EQ(CheckedShape(tree_), "a(b) d(c(e)) -");
  EXPECT_FALSE(tree_.InState(tsCutPending));
}

TEST_F(NodeClipboardTest, CutPasteIntoAnotherTreeDeletesTheSource) {
  tree_.SetSelected(nodes_["b"], true);
  ASSERT_TRUE(tree_.CutToClipboard());
  EXPECT_TRUE(other_.PasteFromClipboard());
  EXPECT_EQ(CheckedShape(other_), "b");
  EXPECT_EQ(CheckedShape(tree_), "a(c(e)) d -");
}

// Another program's copy ends this tree's marks; a second tree's copy ends only the
// first tree's, never its own.
TEST_F(NodeClipboardTest, MarksEndWithTheirOwnClipboardObject) {
  tree_.SetSelected(nodes_["b"], true);
  ASSERT_TRUE(tree_.CopyToClipboard());
  other_.SetSelected(other_.Add(nullptr, "y"), true);
  ASSERT_TRUE(other_.CopyToClipboard());
  EXPECT_FALSE(nodes_["b"]->Has(vsCutOrCopy));
  EXPECT_FALSE(tree_.InState(tsCopyPending));
  EXPECT_TRUE(other_.InState(tsCopyPending));
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_FALSE(other_.InState(tsCopyPending));
}

// A tree that goes flushes its clipboard object: its nodes stay pasteable, its
// reference is gone, so the paste is a plain copy.
TEST_F(NodeClipboardTest, ATreeThatGoesLeavesItsNodesOnTheClipboard) {
  {
    TestTree gone;
    gone.SetClipboardFormats({"View Tree Data"});
    gone.SetSelected(gone.Add(nullptr, "g"), true);
    ASSERT_TRUE(gone.CutToClipboard());
  }
  ComPtr<IDataObject> data;
  ASSERT_EQ(OleGetClipboard(data.Put()), S_OK);
  EXPECT_EQ(TViewTreeStreams::GetTreeFromDataObject(data.get()), nullptr);
  EXPECT_TRUE(other_.PasteFromClipboard());
  EXPECT_EQ(other_.TotalCount(), 2u);
}

TEST_F(NodeClipboardTest, NothingSelectedCopiesNothing) {
  EXPECT_FALSE(tree_.CopyToClipboard());
  tree_.TreeOptions().SetMiscOptions(tree_.TreeOptions().MiscOptions() | toReadOnly);
  tree_.SetSelected(nodes_["b"], true);
  EXPECT_FALSE(tree_.CutToClipboard());
  EXPECT_FALSE(tree_.PasteFromClipboard());
}

// The tree's data in a stream object, when the caller allows one: the same bytes as
// the global block holds after its length, and a tree reads them back from either.
TEST_F(TreeStreamTest, TheDataComesAsAStreamObjectWhenOneIsAllowed) {
  tree_.SetSelected(nodes_["c"], true);
  auto object = platform::com::MakeComObject<TVTDataObject>(tree_, false);
  FORMATETC format{TreeGlobals().CF_VIRTUALTREE, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM block;
  ASSERT_EQ(object->GetData(&format, &block), S_OK);
  ASSERT_EQ(block.tymed, TYMED_HGLOBAL);
  const std::vector<std::uint8_t> blockBytes = platform::com::BytesOfBlock(block.hGlobal);
  ReleaseStgMedium(&block);

  format.tymed = TYMED_HGLOBAL | TYMED_ISTREAM;
  STGMEDIUM medium;
  ASSERT_EQ(object->GetData(&format, &medium), S_OK);
  ASSERT_EQ(medium.tymed, TYMED_ISTREAM);
  auto stream = ComPtr<IUnknown>(medium.pUnk).As<IStream>();
  ASSERT_TRUE(stream);
  std::vector<std::uint8_t> streamBytes(blockBytes.size());
  ULONG read = 0;
  EXPECT_EQ(stream->Read(streamBytes.data(), static_cast<ULONG>(streamBytes.size()), &read), S_FALSE);
  streamBytes.resize(read);
  EXPECT_EQ(std::vector<std::uint8_t>(blockBytes.begin() + 4, blockBytes.end()), streamBytes);
  stream.Reset();
  ReleaseStgMedium(&medium);

  EXPECT_TRUE(other_.ProcessOLEData(nullptr, object.get(), nullptr, amAddChildLast, false));
  EXPECT_EQ(CheckedShape(other_), "c(e)");
}

// A stream object that carries a cut-off tree stream: what it holds whole is read,
// the counts stay right and nothing is read past its end.
TEST_F(TreeStreamTest, ACutOffStreamObjectKeepsTheTreeConsistent) {
  tree_.SetSelected(nodes_["a"], true);
  tree_.SetSelected(nodes_["d"], true);
  TMemoryStream whole;
  tree_.WriteNode(whole, nodes_["a"]);
  const std::size_t first = whole.Memory().size();
  tree_.WriteNode(whole, nodes_["d"]);
  for (std::size_t length : {first, first + 20, whole.Memory().size() - 1}) {
    SCOPED_TRACE(length);
    TestTree target;
    KeepNames(target);
    IStream* raw = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &raw), S_OK);
    ComPtr<IStream> stream(raw);
    raw->Release();
    stream->Write(whole.Memory().data(), static_cast<ULONG>(length), nullptr);
    stream->Seek(LARGE_INTEGER{0}, STREAM_SEEK_SET, nullptr);
    auto object = platform::com::MakeComObject<TVTDataObject>(tree_, false);
    FORMATETC format{TreeGlobals().CF_VIRTUALTREE, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM};
    STGMEDIUM medium;
    medium.tymed = TYMED_ISTREAM;
    medium.pUnk = stream.get();
    ASSERT_EQ(object->SetData(&format, &medium, FALSE), S_OK);
    bool failed = false;
    try {
      target.ProcessOLEData(nullptr, object.get(), nullptr, amAddChildLast, false);
    } catch (const Exception&) {
      failed = true;
    }
    EXPECT_EQ(failed, length != first);
    EXPECT_EQ(CheckedShape(target).rfind("a(b c(e))", 0), 0u) << CheckedShape(target);
    EXPECT_EQ(CheckedShape(target).find("FAULTS"), std::string::npos) << CheckedShape(target);
  }
}

// --- the data object ---

TEST_F(TreeStreamTest, DataObjectAnswers) {
  auto object = platform::com::MakeComObject<TVTDataObject>(tree_, false);
  const WORD data = TreeGlobals().CF_VIRTUALTREE;
  FORMATETC stream{data, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(object->QueryGetData(&stream), S_OK);
  FORMATETC asStream = stream;
  asStream.tymed = TYMED_ISTREAM;
  EXPECT_EQ(object->QueryGetData(&asStream), DV_E_TYMED);
  FORMATETC otherAspect = stream;
  otherAspect.dwAspect = 4;
  EXPECT_EQ(object->QueryGetData(&otherAspect), DV_E_DVASPECT);
  FORMATETC text{CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(object->QueryGetData(&text), DV_E_FORMATETC);
  STGMEDIUM medium;
  EXPECT_EQ(object->GetData(&stream, &medium), E_FAIL);  // nothing selected
  EXPECT_EQ(object->GetDataHere(&stream, &medium), E_NOTIMPL);
  ComPtr<IEnumFORMATETC> formats;
  EXPECT_EQ(object->EnumFormatEtc(DATADIR_SET, formats.Put()), OLE_S_USEREG);

  // Data set into it is offered and answered without the tree.
  STGMEDIUM set;
  set.tymed = TYMED_HGLOBAL;
  set.hGlobal = platform::win::NewTextBlock(std::u16string(u"set"));
  ASSERT_EQ(object->SetData(&text, &set, FALSE), S_OK);
  ReleaseStgMedium(&set);
  ASSERT_EQ(object->GetData(&text, &medium), S_OK);
  EXPECT_EQ(platform::win::WideTextOfBlock(medium.hGlobal), u"set");
  ReleaseStgMedium(&medium);
  EXPECT_EQ(platform::com::OfferedFormats(object.get()).size(), 2u);

  // The reference names this tree by id, and answers nothing while it flushes.
  EXPECT_EQ(TViewTreeStreams::GetTreeFromDataObject(object.get()), &tree_);
  tree_.DoStateChange(tsClipboardFlushing);
  EXPECT_EQ(TViewTreeStreams::GetTreeFromDataObject(object.get()), nullptr);
  tree_.DoStateChange(0, tsClipboardFlushing);
  EXPECT_EQ(TViewTreeStreams::FindLiveTree(GetCurrentProcessId() + 1, tree_.TreeId()), nullptr);
  EXPECT_EQ(TViewTreeStreams::FindLiveTree(GetCurrentProcessId(), 0xFFFFFFF0u), nullptr);
}

}  // namespace
