#include "app/browser_form.h"

#include "app/after_inst.h"
#include "app/form_building.h"
#include "app/form_translation.h"
#include "app/list_changes.h"
#include "app/menu_dispatcher.h"
#include "data/config.h"
#include "data/data_startup.h"
#include "formfill/app_menus.h"
#include "formfill/toolbar_menu.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"
#include "platform/classlib/date_text.h"
#include "platform/win/clipboard.h"
#include "platform/win/message_box.h"
#include "platform/win/message_queue.h"
#include "support/debug_log.h"
#include "support/translator.h"

namespace {

constexpr int kWidth = 560;
constexpr int kHeight = 430;
constexpr int kMinWidth = 450;
constexpr int kMinHeight = 300;
constexpr int kBottomPanel = 39;
constexpr int kToolBarHeight = 62;
constexpr std::size_t kClipboardTextLimit = 512;
// Image 1, the grey glyph, is kept unused so that the bookmark's index stays 2.
constexpr int kImageFolder = 0;
constexpr int kImageBookmark = 2;
// The drop-down open entries' Tags and the open modes they ask for.
constexpr int kOpenModes[] = {2, 1, 3};
// The colour the glyphs leave transparent.
constexpr TColor kMaskColor = 0xFF00FF;

// Names in order: the ASCII letters without regard to case, every other character by
// its UTF-16 code unit; the names stay wide throughout.
char16_t FoldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c; }

int CompareNames(const std::u16string& first, const std::u16string& second) {
  const std::size_t common = std::min(first.size(), second.size());
  for (std::size_t i = 0; i < common; ++i) {
    const char16_t a = FoldAscii(first[i]);
    const char16_t b = FoldAscii(second[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  return first.size() == second.size() ? 0 : first.size() < second.size() ? -1 : 1;
}

TBrowserNodeData FolderData(const std::u16string& name, int index) {
  TBrowserNodeData data;
  data.Name = name;
  data.Folder = true;
  data.FolderIndex = index;
  return data;
}

// Bookmark: a bookmark shown in the history.
TBrowserNodeData RecordData(const TFormItem& record, bool bookmark) {
  TBrowserNodeData data;
  data.Name = record.Caption();
  data.Date = record.Date;
  data.Website = record.URL();
  data.Record = MenuItemId(&record);
  data.Bookmark = bookmark;
  return data;
}

int CompareDates(double first, double second) { return first < second ? -1 : first > second ? 1 : 0; }

bool StartsWithAddress(const std::u16string& text) {
  for (std::u16string_view prefix : {u"www.", u"http://", u"https://"}) {
    if (text.starts_with(prefix)) return true;
  }
  return false;
}

// Up to 512 characters of the clipboard's text.
std::u16string ClipboardText() {
  std::u16string text = platform::win::ClipboardText(0);
  if (text.size() > kClipboardTextLimit) text.resize(kClipboardTextLimit);
  return text;
}

// A glyph of the given colour: a filled square with a lighter middle, or a folder.
void AddGlyph(TImageList& list, int size, TColor color, bool folder) {
  TBitmap picture;
  picture.SetSize(size, size);
  TCanvas& canvas = picture.Canvas();
  canvas.Brush().SetColor(kMaskColor);
  canvas.FillRect(RECT{0, 0, size, size});
  const int unit = size / 8;
  canvas.Brush().SetColor(color);
  if (folder) {
    canvas.FillRect(RECT{unit, unit * 2, unit * 4, unit * 3});
    canvas.FillRect(RECT{unit, unit * 3, size - unit, size - unit});
  } else {
    canvas.FillRect(RECT{unit * 2, unit, size - unit * 2, size - unit});
    canvas.Brush().SetColor(clWhite);
    canvas.FillRect(RECT{unit * 3, unit * 2, size - unit * 3, unit * 3});
  }
  list.AddMasked(picture, kMaskColor);
}

TUniMenuItem* SubItem(TCustomForm& form, TMenuItem& parent, const char* name, const std::u16string& caption,
                      int tag = 0, TNotifyEvent click = nullptr) {
  auto* item = new TUniMenuItem(&form);
  if (name[0] != '\0') item->SetName(name);
  item->SetCaption(caption);
  item->Tag = tag;
  item->OnClick = std::move(click);
  parent.Add(item);
  return item;
}

void Separator(TCustomForm& form, TMenuItem& parent) { SubItem(form, parent, "", u"-"); }

// Keys typed while a question was shown do not reach the tree afterwards.
void DrainKeyboardMessages() {
  constexpr UINT kFirstKeyMessage = 256;
  constexpr UINT kLastKeyMessage = 265;
  MSG message;
  while (PeekMessageW(&message, 0, kFirstKeyMessage, kLastKeyMessage, PM_REMOVE)) {
  }
}

}  // namespace

void TBrowserTree::WndProc(TMessage& message) {
  if (message.Msg == WM_RBUTTONDOWN && OnRightButtonDown) {
    OnRightButtonDown(this, GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam));
  }
  TViewStringTree::WndProc(message);
  if (message.Msg == WM_KEYUP && OnKeyUp) {
    WORD key = static_cast<WORD>(message.WParam);
    OnKeyUp(this, key, KeyboardShiftState());
  } else if (message.Msg == WM_LBUTTONDBLCLK && OnDblClick) {
    OnDblClick(this);
  }
}

void TDialogLauncher::OpenBrowser(TBrowserMode mode, TDialogSlot slot, HWND owner) {
  auto* form = new TBrowserForm(*this, owner, mode);
  CenterOnWindow(*form, owner);
  form->HandleNeeded();
  SetSlot(slot, form->Handle());
  form->ShowMode();
}

TBrowserForm::TBrowserForm(TDialogLauncher& launcher, HWND ownerWindow, TBrowserMode mode)
    : TListWatchForm(launcher, mode == TBrowserMode::Bookmarks ? TDialogSlot::BookmarkBrowser
                                                               : TDialogSlot::HistoryBrowser,
                     ownerWindow, "", "Pellix"),
      mode_(mode) {
  SetName("BrowserForm");
  BorderStyle = TFormBorderStyle::bsSizeable;
  SetBounds(0, 0, kWidth, kHeight);
  ImageList1 = new TImageList(this, 16, 16);
  ImageList1->SetName("ImageList1");
  AddGlyph(*ImageList1, 16, 0x00C0FF, true);
  AddGlyph(*ImageList1, 16, clGray, false);
  AddGlyph(*ImageList1, 16, 0xC08000, false);
  normImages = new TImageList(this, 32, 32);
  normImages->SetName("normImages");
  disImages = new TImageList(this, 32, 32);
  disImages->SetName("disImages");
  for (TColor color : {0x008000, 0xC08000, 0x0000C0, 0x808000, 0x00C0FF}) {
    AddGlyph(*normImages, 32, color, color == 0x00C0FF);
    AddGlyph(*disImages, 32, clSilver, color == 0x00C0FF);
  }
  BuildMenus();
  Panel1 = PlaceBottomPanel(*this, "Panel1", kBottomPanel);
  closeButton = Button(*this, *Panel1, "closeButton", u"OK", {kWidth - 20 - 75, 7, 75, 25}, mrNone);
  closeButton->OnClick = [this](TObject*) { Close(); };
  clearHistButton = Button(*this, *Panel1, "clearHistButton", u"Clear Form History", {12, 7, 130, 25}, mrNone);
  clearHistButton->OnClick = [this](TObject*) { ClearHistoryClick(); };
  BuildBookmarkPanel();
  BuildHistoryPanel();
  const bool bookmarks = mode_ == TBrowserMode::Bookmarks;
  bookmarkPanel->SetVisible(bookmarks);
  HistoryPanel->SetVisible(!bookmarks);
  clearHistButton->SetVisible(!bookmarks);
  (bookmarks ? bookmarkPanel : HistoryPanel)->SetAlign(alClient);
  TranslateForm(*this);
  SetWideControlText(this, u"Pellix - " + Translate(bookmarks ? "Bookmark Browser" : "History Browser"));
  Timer1->SetEnabled(false);
}

TBrowserForm::~TBrowserForm() {
  // The nodes go while the form is whole; nothing of the trees asks the form after.
  for (TBrowserTree* tree : {TreeViewBookmark, TreeViewHistory}) {
    tree->OnChange = nullptr;
    tree->OnCollapsed = nullptr;
    tree->OnExpanded = nullptr;
    tree->Clear();
    tree->OnFreeNode = nullptr;
    tree->OnGetText = nullptr;
    tree->OnPaintText = nullptr;
    tree->OnGetImageIndex = nullptr;
    tree->OnCompareNodes = nullptr;
  }
}

TUniToolButton* TBrowserForm::ToolButton(TUniToolBar& bar, const char* name, const std::u16string& caption, int tag,
                                         int image) {
  auto* button = new TUniToolButton(this);
  button->SetName(name);
  button->SetCaption(caption);
  button->Tag = tag;
  button->SetImageIndex(image);
  button->SetParent(&bar);
  return button;
}

// The panel of one mode, filling the window above the bottom panel.
TUniPanel* TBrowserForm::ModePanel(const char* name) {
  auto* panel = Place<TUniPanel>(*this, *this, name, u"", {0, 0, kWidth, kHeight - kBottomPanel});
  panel->SetBevelOuter(bvNone);
  return panel;
}

TUniToolBar* TBrowserForm::ModeToolBar(TUniPanel& panel, const char* name, int buttonWidth) {
  auto* bar = Place<TUniToolBar>(*this, panel, name, u"", {0, 0, kWidth, kToolBarHeight});
  bar->SetAlign(alTop);
  bar->SetButtonWidth(buttonWidth);
  bar->SetButtonHeight(60);
  bar->SetShowCaptions(true);
  bar->SetImages(normImages);
  bar->SetDisabledImages(disImages);
  return bar;
}

void TBrowserForm::BuildBookmarkPanel() {
  bookmarkPanel = ModePanel("bookmarkPanel");
  bookToolBar = ModeToolBar(*bookmarkPanel, "bookToolBar", 79);
  bookOpenButt = ToolButton(*bookToolBar, "bookOpenButt", u"Open", 0, 0);
  bookOpenButt->SetStyle(TToolButtonStyle::tbsDropDown);
  bookOpenButt->DropdownMenu = UniPopupMenu1;
  bookOpenButt->OnClick = [this](TObject*) {
    const PViewNode node = TreeViewBookmark->FocusedNode();
    if (node != nullptr && Data(node)->Folder) {
      ToggleFolder(node);
    } else {
      bookOpenButt->CheckMenuDropdown();
    }
  };
  bookEditButt = ToolButton(*bookToolBar, "bookEditButt", u"Edit", 1, 1);
  bookEditButt->OnClick = [this](TObject*) { bookEditButtClick(1); };
  bookRemButt = ToolButton(*bookToolBar, "bookRemButt", u"Remove", 2, 2);
  bookRemButt->OnClick = [this](TObject*) { bookEditButtClick(2); };
  bookMoveButt = ToolButton(*bookToolBar, "bookMoveButt", u"Move to Vault", 3, 3);
  bookMoveButt->SetStyle(TToolButtonStyle::tbsDropDown);
  bookMoveButt->SetEnabled(false);
  bookFoldButt = ToolButton(*bookToolBar, "bookFoldButt", u"New Folder", 4, 4);
  bookFoldButt->OnClick = [this](TObject*) { bookEditButtClick(4); };
  TreeViewBookmark = NewTree("TreeViewBookmark", *bookmarkPanel);
  BindBookmarkTree();
}

void TBrowserForm::BuildHistoryPanel() {
  HistoryPanel = ModePanel("HistoryPanel");
  histToolBar = ModeToolBar(*HistoryPanel, "histToolBar", 52);
  histSaveButt = ToolButton(*histToolBar, "histSaveButt", u"Save", 0, 1);
  histSaveButt->OnClick = [this](TObject*) { SaveAsBookmark(); };
  histOpenButt = ToolButton(*histToolBar, "histOpenButt", u"Open", 0, 0);
  histOpenButt->SetStyle(TToolButtonStyle::tbsDropDown);
  histOpenButt->DropdownMenu = UniPopupMenu3;
  histOpenButt->OnClick = [this](TObject*) { histOpenButt->CheckMenuDropdown(); };
  histRemButt = ToolButton(*histToolBar, "histRemButt", u"Remove", 0, 2);
  histRemButt->SetStyle(TToolButtonStyle::tbsDropDown);
  histRemButt->DropdownMenu = UniPopupMenu2;
  histRemButt->OnClick = [this](TObject*) { histRemButt->CheckMenuDropdown(); };
  TreeViewHistory = NewTree("TreeViewHistory", *HistoryPanel);
  BindHistoryTree();
}

void TBrowserForm::BuildMenus() {
  auto open = [this](TMenuItem& parent) {
    const char16_t* captions[] = {u"Open with Submit", u"Open without Submit", u"Open without Fill"};
    for (int tag = 0; tag < 3; ++tag) {
      SubItem(*this, parent, "", captions[tag], tag, [this, tag](TObject*) { OpenFocused(kOpenModes[tag]); });
    }
  };
  UniPopupMenu1 = PopupMenu(*this, "UniPopupMenu1");
  open(*UniPopupMenu1->Items());
  UniPopupMenu3 = PopupMenu(*this, "UniPopupMenu3");
  open(*UniPopupMenu3->Items());
  UniPopupMenu2 = PopupMenu(*this, "UniPopupMenu2");
  remHist = SubItem(*this, *UniPopupMenu2->Items(), "remHist", u"Remove from History List", 0,
                    [this](TObject*) { remBookVaultClick(0); });
  remBook = SubItem(*this, *UniPopupMenu2->Items(), "remBook", u"Remove from Bookmark List", 1,
                    [this](TObject*) { remBookVaultClick(1); });
  remBookVault = SubItem(*this, *UniPopupMenu2->Items(), "remBookVault", u"Remove Bookmark from Vault", 2);
  remBookVault->SetEnabled(false);

  // The bookmark browser's main menu.
  bookMainMenu = new TMainMenu(this);
  bookMainMenu->SetName("bookMainMenu");
  TMenuItem& bookFile = *SubItem(*this, *bookMainMenu->Items(), "bookFile", u"&File");
  bookCreateNew = SubItem(*this, bookFile, "bookCreateNew", u"Create New Bookmark", 4,
                          [this](TObject*) { CreateNewBookmark(); });
  bookRenameBookmark = SubItem(*this, bookFile, "bookRenameBookmark", u"Rename Bookmark", 0,
                               [this](TObject*) { StartRename(*TreeViewBookmark); });
  bookEditBookmark = SubItem(*this, bookFile, "bookEditBookmark", u"Edit Bookmark", 1,
                             [this](TObject*) { bookEditButtClick(1); });
  moveBookmark = SubItem(*this, bookFile, "moveBookmark", u"Move Bookmark to Vault/Remove Bookmark from Vault");
  moveBookmark->SetEnabled(false);
  bookRemove = SubItem(*this, bookFile, "bookRemove", u"Remove from Bookmark List", 2,
                       [this](TObject*) { bookEditButtClick(2); });
  Separator(*this, bookFile);
  TMenuItem& bookFolder = *SubItem(*this, bookFile, "bookFolder", u"Folder");
  bookCreateNewFolder = SubItem(*this, bookFolder, "bookCreateNewFolder", u"Create New Folder", 4,
                                [this](TObject*) { bookEditButtClick(4); });
  bookRenameFolder = SubItem(*this, bookFolder, "bookRenameFolder", u"Rename Folder", 2,
                             [this](TObject*) { DeleteFolder1Click(2); });
  bookDeleteFolder = SubItem(*this, bookFolder, "bookDeleteFolder", u"Delete Folder", 3,
                             [this](TObject*) { DeleteFolder1Click(3); });
  bookOpen = SubItem(*this, *bookMainMenu->Items(), "bookOpen", u"&Open");
  open(*bookOpen);
  SubItem(*this, *bookMainMenu->Items(), "bookSettings", u"&Settings", 0, [this](TObject*) {
    if (TMenuDispatcher* main = MainWindow()) main->ShowSettings(Handle(), 0);
  });
  SubItem(*this, *bookMainMenu->Items(), "bookHelp", u"&Help", 0, [](TObject*) { OpenHelpPage(); });

  // The history browser's main menu.
  histMainMenu = new TMainMenu(this);
  histMainMenu->SetName("histMainMenu");
  TMenuItem& histFile = *SubItem(*this, *histMainMenu->Items(), "histFile", u"&File");
  histSaveAsBookmark = SubItem(*this, histFile, "histSaveAsBookmark", u"Save As Bookmark", 0,
                               [this](TObject*) { SaveAsBookmark(); });
  histMoveToVault = SubItem(*this, histFile, "histMoveToVault", u"Move Bookmark to Vault", 1);
  histMoveToVault->SetEnabled(false);
  Separator(*this, histFile);
  histRenameRecord = SubItem(*this, histFile, "histRenameRecord", u"Rename Record", 0,
                             [this](TObject*) { histEditRecordClick(0); });
  histEditRecord = SubItem(*this, histFile, "histEditRecord", u"Edit Record", 1,
                           [this](TObject*) { histEditRecordClick(1); });
  Separator(*this, histFile);
  histRemovefromHistoryList = SubItem(*this, histFile, "histRemovefromHistoryList", u"Remove from History List", 0,
                                      [this](TObject*) { remBookVaultClick(0); });
  histRemovefromBookmarkList = SubItem(*this, histFile, "histRemovefromBookmarkList",
                                       u"Remove from Bookmark List", 1, [this](TObject*) { remBookVaultClick(1); });
  histRemoveBookmarkfromVault =
      SubItem(*this, histFile, "histRemoveBookmarkfromVault", u"Remove Bookmark from Vault", 2);
  histRemoveBookmarkfromVault->SetEnabled(false);
  histOpen = SubItem(*this, *histMainMenu->Items(), "histOpen", u"&Open");
  open(*histOpen);
  SubItem(*this, *histMainMenu->Items(), "histSettings", u"&Settings", 0, [this](TObject*) {
    if (TMenuDispatcher* main = MainWindow()) main->ShowSettings(Handle(), 0);
  });
  SubItem(*this, *histMainMenu->Items(), "histHelp", u"&Help", 0, [](TObject*) { OpenHelpPage(); });

  // The bookmark tree's menus.
  PopupMenuBookmark = PopupMenu(*this, "PopupMenuBookmark");
  TMenuItem& bookmarkItems = *PopupMenuBookmark->Items();
  open(bookmarkItems);
  Separator(*this, bookmarkItems);
  SubItem(*this, bookmarkItems, "EditBookmark1", u"Edit Bookmark", 1, [this](TObject*) { bookEditButtClick(1); });
  SubItem(*this, bookmarkItems, "RenameBookmark1", u"Rename Bookmark", 0,
          [this](TObject*) { StartRename(*TreeViewBookmark); });
  SubItem(*this, bookmarkItems, "RemovefromBookmarkList1", u"Remove from Bookmark List", 2,
          [this](TObject*) { bookEditButtClick(2); });
  Separator(*this, bookmarkItems);
  Cut1 = SubItem(*this, bookmarkItems, "Cut1", u"Cut", 0, [this](TObject*) { CutNode(); });
  Paste2 = SubItem(*this, bookmarkItems, "Paste2", u"Paste", 0,
                   [this](TObject*) { PasteNode(TreeViewBookmark->FocusedNode()); });
  Separator(*this, bookmarkItems);
  SubItem(*this, bookmarkItems, "MovetoVault1", u"Move to Vault / Remove from Vault")->SetEnabled(false);
  PopupMenuFolder = PopupMenu(*this, "PopupMenuFolder");
  TMenuItem& folderItems = *PopupMenuFolder->Items();
  Open1 = SubItem(*this, folderItems, "Open1", u"Open", 1, [this](TObject*) { DeleteFolder1Click(1); });
  Paste3 = SubItem(*this, folderItems, "Paste3", u"Paste", 0,
                   [this](TObject*) { PasteNode(TreeViewBookmark->FocusedNode()); });
  Separator(*this, folderItems);
  RenameFolder1 = SubItem(*this, folderItems, "RenameFolder1", u"Rename Folder", 2,
                          [this](TObject*) { DeleteFolder1Click(2); });
  DeleteFolder1 = SubItem(*this, folderItems, "DeleteFolder1", u"Delete Folder", 3,
                          [this](TObject*) { DeleteFolder1Click(3); });
  PopupMenuOther = PopupMenu(*this, "PopupMenuOther");
  TMenuItem& otherItems = *PopupMenuOther->Items();
  TMenuItem& arrange = *SubItem(*this, otherItems, "Arrangeby1", u"Arrange by");
  for (const char16_t* caption : {u"Name", u"Date", u"Website"}) SubItem(*this, arrange, "", caption);
  arrange.SetVisible(false);
  Paste1 = SubItem(*this, otherItems, "Paste1", u"Paste", 0, [this](TObject*) { PasteNode(nullptr); });
  TMenuItem& newItems = *SubItem(*this, otherItems, "New1", u"New");
  SubItem(*this, newItems, "Bookmark1", u"Bookmark", 0, [this](TObject*) { CreateNewBookmark(); });
  SubItem(*this, newItems, "Folder1", u"Folder", 4, [this](TObject*) { bookEditButtClick(4); });
  for (TUniPopupMenu* menu : {PopupMenuBookmark, PopupMenuOther}) {
    menu->OnPopup = [this](TObject*) {
      Paste1->SetEnabled(cutNode_ != nullptr);
      Paste2->SetEnabled(cutNode_ != nullptr);
    };
  }
  PopupMenuFolder->OnPopup = [this](TObject*) {
    const PViewNode node = TreeViewBookmark->FocusedNode();
    const bool children = node != nullptr && node->ChildCount > 0;
    Open1->SetEnabled(children);
    Open1->SetCaption(Translate(children && TreeViewBookmark->GetExpanded(node) ? "Close" : "Open"));
    Paste3->SetEnabled(cutNode_ != nullptr);
  };

  // The history tree's menus.
  PopupMenuRecord = PopupMenu(*this, "PopupMenuRecord");
  TMenuItem& recordItems = *PopupMenuRecord->Items();
  open(recordItems);
  Separator(*this, recordItems);
  TUniMenuItem* recordCommands[] = {
      SubItem(*this, recordItems, "RenameRecord1", u"Rename Record", 0, [this](TObject*) { histEditRecordClick(0); }),
      SubItem(*this, recordItems, "EditRecord1", u"Edit Record", 1, [this](TObject*) { histEditRecordClick(1); }),
      SubItem(*this, recordItems, "RemovefromHistoryList1", u"Remove from History List", 0,
              [this](TObject*) { remBookVaultClick(0); }),
      SubItem(*this, recordItems, "RemovefromBookmarkList2", u"Remove from Bookmark List", 1,
              [this](TObject*) { remBookVaultClick(1); }),
      SubItem(*this, recordItems, "RemoveBookmarkfromVault1", u"Remove Bookmark from Vault", 2)};
  PopupMenuRecord->OnPopup = [this, recordCommands](TObject*) {
    const TUniMenuItem* file[] = {histRenameRecord, histEditRecord, histRemovefromHistoryList,
                                  histRemovefromBookmarkList, histRemoveBookmarkfromVault};
    for (int i = 0; i < 5; ++i) recordCommands[i]->SetEnabled(file[i]->Enabled());
  };
  PopupMenuOtherHist = PopupMenu(*this, "PopupMenuOtherHist");
  TMenuItem& arrangeHist = *SubItem(*this, *PopupMenuOtherHist->Items(), "Arrangeby2", u"Arrange by");
  const char16_t* columns[] = {u"Name", u"Date", u"Website"};
  for (int tag = 0; tag < 3; ++tag) {
    SubItem(*this, arrangeHist, "", columns[tag], tag, [this, tag](TObject*) { SortHistoryBy(tag); });
  }
}

TBrowserTree* TBrowserForm::NewTree(const char* name, TUniPanel& panel) {
  auto* made = new TBrowserTree(this);
  made->SetName(name);
  made->SetParent(&panel);
  made->SetAlign(alClient);
  TBrowserTree& tree = *made;
  TVTHeader& header = tree.Header();
  const std::pair<const char16_t*, int> columns[] = {{u"Name", 190}, {u"Date", 160}, {u"Website", 300}};
  for (const auto& [caption, width] : columns) {
    TViewTreeColumn& column = header.Columns().Add();
    column.SetText(caption);
    column.SetWidth(width);
  }
  header.SetOptions(hoColumnResize | hoShowSortGlyphs | hoVisible);
  header.SetStyle(hsPlates);
  tree.SetNodeDataSize(sizeof(TBrowserNodeData*));
  tree.Images = ImageList1;
  TStringTreeOptions& options = static_cast<TStringTreeOptions&>(tree.TreeOptions());
  options.SetMiscOptions(toAcceptOLEDrop | toEditable | toFullRepaintOnResize | toInitOnSave | toToggleOnDblClick |
                         toWheelPanning);
  options.SetPaintOptions(toShowButtons | toShowDropmark | toShowRoot | toThemeAware | toUseBlendedImages);
  options.SetSelectionOptions(toFullRowSelect | toRightClickSelect);
  tree.SetDragOperations(doMove);
  tree.OnFreeNode = [this, &tree](TViewTreeObject*, PViewNode node) {
    if (node == cutNode_) cutNode_ = nullptr;
    delete *tree.GetNodeData<TBrowserNodeData*>(node);
  };
  tree.OnGetText = [this](TBaseViewTree*, PViewNode node, TColumnIndex column, TVSTTextType, std::u16string& text) {
    const TBrowserNodeData* data = Data(node);
    if (data == nullptr) return;
    switch (column) {
      case 1: text = data->Folder ? u"" : DateTimeToStr(data->Date); break;
      case 2: text = data->Website; break;
      default: text = data->Name; break;
    }
  };
  // A right-button press over no row leaves no node focused.
  tree.OnRightButtonDown = [&tree](TObject*, int x, int y) {
    if (tree.NodeAtPoint(x, y) != nullptr) return;
    tree.ClearSelection();
    tree.SetFocusedNode(nullptr);
    if (tree.OnChange) tree.OnChange(&tree, nullptr);
  };
  tree.OnNewText = [this](TBaseViewTree* sender, PViewNode node, TColumnIndex, const std::u16string& text) {
    RenameNode(*sender, node, text);
  };
  tree.OnPaintText = [this](TBaseViewTree* sender, TCanvas& canvas, PViewNode node, TColumnIndex, TVSTTextType) {
    const TBrowserNodeData* data = Data(node);
    if (data == nullptr) return;
    TFontStyles style = data->Cut ? TFontStyles{fsItalic} : TFontStyles{0};
    if (sender == TreeViewHistory && !data->Bookmark) style |= fsBold;
    canvas.Font().SetStyle(style);
  };
  return made;
}

void TBrowserForm::BindBookmarkTree() {
  TBrowserTree& tree = *TreeViewBookmark;
  tree.SetDragType(dtVCL);
  tree.PopupMenu = PopupMenuOther;
  tree.OnGetImageIndex = [this](TViewTreeObject*, PViewNode node, TVTImageKind, TColumnIndex column, bool&,
                                int& index) {
    if (column > 0) return;
    const TBrowserNodeData* data = Data(node);
    index = data->Folder ? kImageFolder : kImageBookmark;
  };
  tree.OnCompareNodes = [this](TViewTreeObject*, PViewNode first, PViewNode second, TColumnIndex, int& result) {
    const TBrowserNodeData* a = Data(first);
    const TBrowserNodeData* b = Data(second);
    result = a->Folder != b->Folder ? (a->Folder ? -1 : 1) : CompareNames(a->Name, b->Name);
  };
  tree.OnChange = [this](TViewTreeObject*, PViewNode node) {
    UpdateBookmarkControls(node);
    TreeViewBookmark->PopupMenu =
        node == nullptr ? PopupMenuOther : Data(node)->Folder ? PopupMenuFolder : PopupMenuBookmark;
  };
  tree.OnEdited = [this](TViewTreeObject*, PViewNode node, TColumnIndex) {
    TreeViewBookmark->SortTree(0, sdAscending);
    FocusAndSelect(*TreeViewBookmark, node);
  };
  tree.OnDblClick = [this](TObject*) {
    const PViewNode node = TreeViewBookmark->FocusedNode();
    if (node == nullptr) return;
    if (Data(node)->Folder) {
      UpdateBookmarkControls(node);
    } else {
      bookEditButtClick(1);
    }
  };
  tree.OnKeyPress = [this](TObject*, char& key) {
    if (key != '\r') return;
    const PViewNode node = TreeViewBookmark->FocusedNode();
    if (node == nullptr) return;
    if (Data(node)->Folder) {
      ToggleFolder(node);
    } else {
      bookEditButtClick(1);
    }
  };
  tree.OnKeyUp = [this](TObject*, WORD& key, TShiftState shift) {
    if ((shift & ssCtrl) != 0 && key == 'X') CutNode();
    if ((shift & ssCtrl) != 0 && key == 'V') PasteNode(TreeViewBookmark->FocusedNode());
    if (key == VK_DELETE) bookEditButtClick(2);
  };
  // The controls follow the focused node, whichever folder opened or closed.
  auto folderChanged = [this](TViewTreeObject*, PViewNode node) {
    if (Data(node)->Folder) UpdateBookmarkControls(TreeViewBookmark->FocusedNode());
  };
  tree.OnExpanded = folderChanged;
  tree.OnCollapsed = folderChanged;
  tree.OnDragAllowed = [this](TViewTreeObject*, PViewNode node, TColumnIndex, bool& allowed) {
    allowed = node != nullptr && !Data(node)->Folder;
  };
  // The tree's own drag events and, for the class library's drag of the tree until
  // that reaches them, the control's.
  tree.OnDragOver = [this](TViewTreeDragDrop*, TObject*, TShiftState, TDragState, const POINT&, TVTDropMode,
                           DWORD&, bool& accept) { accept = DragOverBookmarks(); };
  tree.OnDragDrop = [this](TViewTreeDragDrop*, TObject*, IDataObject*, const std::vector<WORD>&, TShiftState,
                           const POINT& pt, DWORD&, TVTDropMode) { DropOnBookmarks(pt.x, pt.y); };
}

void TBrowserForm::BindHistoryTree() {
  TBrowserTree& tree = *TreeViewHistory;
  TStringTreeOptions& options = static_cast<TStringTreeOptions&>(tree.TreeOptions());
  options.SetAutoOptions(toAutoSort | toAutoDropExpand | toAutoScrollOnExpand | toAutoTristateTracking |
                         toAutoDeleteMovedNodes);
  tree.Header().SetSortColumn(0);
  tree.Header().PopupMenu = PopupMenuRecord;
  tree.PopupMenu = PopupMenuOtherHist;
  tree.OnGetImageIndex = [this](TViewTreeObject*, PViewNode node, TVTImageKind, TColumnIndex column, bool&,
                                int& index) {
    const TBrowserNodeData* data = Data(node);
    if (column <= 0 && data->Bookmark) index = kImageBookmark;
  };
  tree.OnCompareNodes = [this](TViewTreeObject*, PViewNode first, PViewNode second, TColumnIndex column,
                               int& result) {
    const TBrowserNodeData* a = Data(first);
    const TBrowserNodeData* b = Data(second);
    result = column == 1 ? CompareDates(a->Date, b->Date) : CompareNames(a->Name, b->Name);
  };
  tree.OnHeaderClick = [this](TVTHeader*, TColumnIndex column, TMouseButton, TShiftState, int, int) {
    SortHistoryBy(column);
  };
  tree.OnChange = [this](TViewTreeObject*, PViewNode node) {
    UpdateHistoryControls(node);
    TreeViewHistory->PopupMenu = node != nullptr ? PopupMenuRecord : PopupMenuOtherHist;
  };
  tree.OnDblClick = [this](TObject*) { histEditRecordClick(1); };
  tree.OnKeyPress = [this](TObject*, char& key) {
    if (key == '\r') histEditRecordClick(1);
  };
}

void TBrowserForm::SetBounds(int left, int top, int width, int height) {
  if (width < kMinWidth || height < kMinHeight) {
    width = Width();
    height = Height();
  }
  TListWatchForm::SetBounds(left, top, width, height);
}

TBrowserNodeData* TBrowserForm::Data(PViewNode node) const {
  if (node == nullptr) return nullptr;
  const TBaseViewTree& tree = ModeTree();
  return *tree.GetNodeData<TBrowserNodeData*>(node);
}

TBrowserTree& TBrowserForm::ModeTree() const {
  return mode_ == TBrowserMode::Bookmarks ? *TreeViewBookmark : *TreeViewHistory;
}

PViewNode TBrowserForm::AddNode(TBaseViewTree& tree, PViewNode parent, const TBrowserNodeData& data) {
  return tree.AppendChildNode(parent, reinterpret_cast<std::uintptr_t>(new TBrowserNodeData(data)));
}

bool TBrowserForm::IsBookmark(PViewNode node) const { return node != nullptr && !Data(node)->Folder; }

TMenuDispatcher* TBrowserForm::MainWindow() { return Launcher().MainOperations; }

// --- showing and loading ------------------------------------------------------------

void TBrowserForm::ShowMode() {
  if (mode_ == TBrowserMode::Bookmarks) {
    bookMainMenu->SetWindowHandle(Handle());
    LoadBookmarks();
    SelectFirst();
    UpdateBookmarkControls(TreeViewBookmark->FocusedNode());
  } else {
    histMainMenu->SetWindowHandle(Handle());
    LoadHistory();
    SelectFirst();
    UpdateHistoryControls(TreeViewHistory->FocusedNode());
  }
  Timer1->SetEnabled(true);
  Show();
}

void TBrowserForm::LoadList() {
  if (mode_ == TBrowserMode::Bookmarks) {
    LoadBookmarks();
  } else {
    LoadHistory();
  }
}

void TBrowserForm::LoadBookmarks() {
  TBrowserTree& tree = *TreeViewBookmark;
  tree.Clear();
  if (!BookmarkList) return;
  // One update for the whole filling: the view is worked out once, at the end.
  tree.BeginUpdate();
  std::vector<PViewNode> folders;
  {
    TListChange change(BookmarkList.get());
    TUniStringList& names = BookmarkList->Strings;
    for (int index = 0; index < names.GetCount(); ++index) {
      folders.push_back(AddNode(tree, nullptr, FolderData(names.Get(index), index)));
    }
    for (int i = 0; i < BookmarkList->Count(); ++i) {
      const TFormItem& bookmark = *BookmarkList->Form(i);
      if (bookmark.SiteDefault) continue;
      const int folder = bookmark.IntValue;
      const PViewNode parent = folder >= 0 && folder < static_cast<int>(folders.size()) ? folders[folder] : nullptr;
      AddNode(tree, parent, RecordData(bookmark, false));
    }
    SeenStamp = BookmarkList->LastAccess;
  }
  for (PViewNode folder : folders) tree.SetExpanded(folder, true);
  tree.SortTree(0, sdAscending, true);
  tree.EndUpdate();
}

void TBrowserForm::LoadHistory() {
  TBrowserTree& tree = *TreeViewHistory;
  tree.Clear();
  // The tree sorts once, after the filling, in its header's order.
  tree.BeginUpdate();
  if (HistoryList) {
    TListChange change(HistoryList.get());
    for (int i = 0; i < HistoryList->Count(); ++i) {
      const TFormItem& record = *HistoryList->Form(i);
      if (record.SiteDefault) continue;
      AddNode(tree, nullptr, RecordData(record, false));
    }
    historyStamp_ = HistoryList->LastAccess;
  }
  if (BookmarkList) {
    double cleared = 0;
    if (Config) Config->ReadFloat(u"CLEAR_HIST", cleared);
    TListChange change(BookmarkList.get());
    for (int i = 0; i < BookmarkList->Count(); ++i) {
      const TFormItem& bookmark = *BookmarkList->Form(i);
      if (bookmark.SiteDefault || bookmark.Date < cleared) continue;
      AddNode(tree, nullptr, RecordData(bookmark, true));
    }
    SeenStamp = BookmarkList->LastAccess;
  }
  tree.EndUpdate();
  tree.SortTree(tree.Header().SortColumn(), tree.Header().SortDirection());
}

DWORD TBrowserForm::ListStamp() { return BookmarkList ? BookmarkList->LastAccess : 0; }

bool TBrowserForm::ListChanged() {
  if (TListWatchForm::ListChanged()) return true;
  return mode_ == TBrowserMode::History && HistoryList && HistoryList->LastAccess != historyStamp_;
}

void TBrowserForm::ShowReloadNotice() {
  const std::u16string text =
      Translate("Data Reload") + u"\r\n\r\n" +
      Translate(mode_ == TBrowserMode::Bookmarks
                    ? "Data has been changed. Your Bookmark Browser needs to reload all data."
                    : "Data has been changed. Your History Browser needs to reload all data.");
  MessageBoxW(Handle(), text.c_str(), u"Pellix", MB_ICONINFORMATION);
}

void TBrowserForm::Dispatch(TMessage& message) {
  TListWatchForm::Dispatch(message);
  if (message.Msg == WM_SIZE && closeButton != nullptr) {
    // The bottom panel spans the new client width.
    const int width = LOWORD(static_cast<DWORD>(message.LParam));
    closeButton->SetBounds(width - 20 - closeButton->Width(), closeButton->Top(), closeButton->Width(),
                           closeButton->Height());
  } else if (message.Msg == WM_COMMAND && message.LParam == 0) {
    // A click in the window's menu bar.
    (mode_ == TBrowserMode::Bookmarks ? bookMainMenu : histMainMenu)
        ->DispatchCommand(LOWORD(static_cast<DWORD>(message.WParam)));
  }
}

void TBrowserForm::SelectFirst() {
  TBaseViewTree& tree = ModeTree();
  FocusAndSelect(tree, tree.GetFirst());
}

void TBrowserForm::FocusAndSelect(TBaseViewTree& tree, PViewNode node) {
  tree.ClearSelection();
  tree.SetFocusedNode(node);
  if (node != nullptr) tree.SetSelected(node, true);
}

void TBrowserForm::SaveBookmarks() {
  if (!BookmarkList) return;
  SaveListLocked(*BookmarkList);
  RememberStamps();
  StartToolbarMenuRefresh();
}

void TBrowserForm::SaveLists() {
  if (HistoryList) SaveListLocked(*HistoryList);
  if (BookmarkList) SaveListLocked(*BookmarkList);
  RememberStamps();
  StartToolbarMenuRefresh();
}

void TBrowserForm::RememberStamps() {
  if (BookmarkList) SeenStamp = BookmarkList->LastAccess;
  if (mode_ == TBrowserMode::History && HistoryList) historyStamp_ = HistoryList->LastAccess;
}

TDataItems* TBrowserForm::ListOf(PViewNode node) const {
  const bool bookmark = mode_ == TBrowserMode::Bookmarks || Data(node)->Bookmark;
  return bookmark ? static_cast<TDataItems*>(BookmarkList.get()) : HistoryList.get();
}

// --- controls -----------------------------------------------------------------------

void TBrowserForm::UpdateBookmarkControls(PViewNode node) {
  const bool folder = node != nullptr && Data(node)->Folder;
  const bool bookmark = node != nullptr && !folder;
  if (folder) {
    bookOpenButt->SetStyle(TToolButtonStyle::tbsButton);
    bookOpenButt->DropdownMenu = nullptr;
    bookOpenButt->SetCaption(Translate(TreeViewBookmark->GetExpanded(node) ? "Close" : "Open"));
    bookOpenButt->SetEnabled(node->ChildCount > 0);
  } else {
    bookOpenButt->SetCaption(Translate("Open"));
    bookOpenButt->SetStyle(TToolButtonStyle::tbsDropDown);
    bookOpenButt->DropdownMenu = UniPopupMenu1;
    bookOpenButt->SetEnabled(node != nullptr);
  }
  bookEditButt->SetEnabled(bookmark);
  for (TUniMenuItem* item : {bookRenameBookmark, bookEditBookmark, bookRemove, bookOpen}) item->SetEnabled(bookmark);
  bookRemButt->SetEnabled(node != nullptr);
  bookRenameFolder->SetEnabled(folder);
  bookDeleteFolder->SetEnabled(folder);
  bookMoveButt->SetEnabled(false);
}

void TBrowserForm::UpdateHistoryControls(PViewNode node) {
  const bool record = node != nullptr && !Data(node)->Bookmark;
  const bool bookmark = node != nullptr && Data(node)->Bookmark;
  histSaveAsBookmark->SetEnabled(record);
  histSaveButt->SetEnabled(record);
  histRemovefromHistoryList->SetEnabled(record);
  remHist->SetEnabled(record);
  histRemovefromBookmarkList->SetEnabled(bookmark);
  remBook->SetEnabled(bookmark);
  for (TUniMenuItem* item : {histRenameRecord, histEditRecord, histOpen}) item->SetEnabled(node != nullptr);
  histOpenButt->SetEnabled(node != nullptr);
  histRemButt->SetEnabled(node != nullptr);
  histMoveToVault->SetEnabled(false);
  histRemoveBookmarkfromVault->SetEnabled(false);
  remBookVault->SetEnabled(false);
  clearHistButton->SetEnabled(TreeViewHistory->RootNodeCount() > 0);
}

// --- bookmark operations ------------------------------------------------------------

void TBrowserForm::bookEditButtClick(int tag) {
  const PViewNode node = TreeViewBookmark->FocusedNode();
  switch (tag) {
    case 1:
      if (IsBookmark(node)) EditBookmark(node);
      break;
    case 2:
      if (node == nullptr) return;
      if (Data(node)->Folder) {
        DeleteFolder1Click(3);
      } else {
        RemoveBookmark(node);
      }
      Invalidate();
      break;
    case 4: {
      if (!BookmarkList) return;
      int index = 0;
      {
        TListChange change(BookmarkList.get());
        index = BookmarkList->Strings.Add(u"New Folder");
      }
      const PViewNode folder =
          TreeViewBookmark->InsertNodeAt(TreeViewBookmark->RootNode(), amAddChildFirst,
                                         reinterpret_cast<std::uintptr_t>(new TBrowserNodeData(FolderData(u"New Folder", index))));
      FocusAndSelect(*TreeViewBookmark, folder);
      TreeViewBookmark->EditNode(folder, 0);
      Invalidate();
      break;
    }
    default: break;
  }
}

void TBrowserForm::EditBookmark(PViewNode node) {
  bool savedAsBookmark = false;
  if (!EditRecordOf(node, false, savedAsBookmark)) return;
  SaveBookmarks();
}

bool TBrowserForm::EditRecordOf(PViewNode node, bool history, bool& savedAsBookmark) {
  TDataItems* list = ListOf(node);
  const std::int32_t id = Data(node)->Record;
  std::shared_ptr<TFormItem> copy;
  {
    TListChange change(list);
    TFormItem* record = RecordIn(list, id);
    if (record == nullptr) return false;
    copy = DetachedCopy(*record);
  }
  if (!Launcher().EditStoredForm(Handle(), *copy, history, false, savedAsBookmark)) return false;
  if (savedAsBookmark) return true;
  TListChange change(list);
  TFormItem* record = RecordIn(list, id);
  if (record == nullptr) return false;
  ApplyEditedCopy(*record, *copy);
  TBaseViewTree& tree = ModeTree();
  CopyRecordToNode(tree, node, *record);
  return true;
}

void TBrowserForm::CopyRecordToNode(TBaseViewTree& tree, PViewNode node, const TFormItem& record) {
  Data(node)->Name = record.Caption();
  Data(node)->Website = record.URL();
  tree.RepaintNode(node);
}

void TBrowserForm::RemoveBookmark(PViewNode node) {
  TMenuDispatcher* main = MainWindow();
  if (main == nullptr || !main->DeleteBookmark(Handle(), Data(node)->Record)) return;
  TreeViewBookmark->DeleteNode(node);
  RememberStamps();
  SelectFirst();
  UpdateBookmarkControls(TreeViewBookmark->FocusedNode());
}

void TBrowserForm::CreateNewBookmark() {
  if (!BookmarkList) return;
  auto bookmark = std::make_unique<TBookmarkItem>(BookmarkList.get());
  bookmark->Date = platform::Now();
  const std::u16string text = ClipboardText();
  if (StartsWithAddress(text)) bookmark->SetURL(text);
  bool savedAsBookmark = false;
  if (!Launcher().EditStoredForm(Handle(), *bookmark, false, true, savedAsBookmark)) return;
  {
    TListChange change(BookmarkList.get());
    const TFormItem* added = static_cast<TFormItem*>(BookmarkList->Add(std::move(bookmark)));
    AddNode(*TreeViewBookmark, nullptr, RecordData(*added, false));
  }
  TreeViewBookmark->SortTree(0, sdAscending);
  SaveBookmarks();
}

void TBrowserForm::DeleteFolder1Click(int tag) {
  const PViewNode node = TreeViewBookmark->FocusedNode();
  if (node == nullptr || !Data(node)->Folder) return;
  if (tag == 1) return ToggleFolder(node);
  if (tag == 2) return StartRename(*TreeViewBookmark);
  if (tag != 3) return;
  const bool yes = MessageBoxW(Handle(), Translate("Are you sure you want to remove selected folder?").c_str(),
                               u"Pellix", MB_YESNO | MB_ICONQUESTION) == IDYES;
  DrainKeyboardMessages();
  if (!yes || !BookmarkList) return;
  const int index = Data(node)->FolderIndex;
  {
    TListChange change(BookmarkList.get());
    for (int i = BookmarkList->Count() - 1; i >= 0; --i) {
      TDataItem* bookmark = BookmarkList->Item(i);
      if (bookmark->IntValue == index) {
        BookmarkList->Delete(i);
      } else if (bookmark->IntValue > index) {
        --bookmark->IntValue;
      }
    }
    if (index >= 0 && index < BookmarkList->Strings.GetCount()) BookmarkList->Strings.Delete(index);
  }
  TreeViewBookmark->DeleteNode(node);
  for (PViewNode folder = TreeViewBookmark->GetFirstChild(nullptr); folder != nullptr;
       folder = folder->NextSibling) {
    if (Data(folder)->Folder && Data(folder)->FolderIndex > index) --Data(folder)->FolderIndex;
  }
  SaveBookmarks();
  SelectFirst();
  UpdateBookmarkControls(TreeViewBookmark->FocusedNode());
}

void TBrowserForm::ToggleFolder(PViewNode node) {
  TreeViewBookmark->SetExpanded(node, !TreeViewBookmark->GetExpanded(node));
  UpdateBookmarkControls(node);
}

void TBrowserForm::StartRename(TBaseViewTree& tree) {
  if (const PViewNode node = tree.FocusedNode()) tree.EditNode(node, 0);
}

void TBrowserForm::RenameNode(TBaseViewTree& tree, PViewNode node, const std::u16string& text) {
  TBrowserNodeData& data = *Data(node);
  TDataItems* list = ListOf(node);
  if (list == nullptr) return;
  {
    TListChange change(list);
    if (data.Folder) {
      if (data.FolderIndex < 0 || data.FolderIndex >= BookmarkList->Strings.GetCount()) return;
      BookmarkList->Strings.Put(data.FolderIndex, text);
    } else {
      TFormItem* record = RecordIn(list, data.Record);
      if (record == nullptr) return;
      record->SetCaption(text);
    }
    data.Name = text;
  }
  tree.RepaintNode(node);
  if (&tree == TreeViewBookmark) {
    SaveBookmarks();
  } else {
    SaveLists();
  }
}

void TBrowserForm::CutNode() {
  const PViewNode node = TreeViewBookmark->FocusedNode();
  if (!IsBookmark(node)) return;
  ClearCutMark();
  cutNode_ = node;
  Data(node)->Cut = true;
  TreeViewBookmark->RepaintNode(node);
}

void TBrowserForm::ClearCutMark() {
  if (cutNode_ == nullptr) return;
  Data(cutNode_)->Cut = false;
  TreeViewBookmark->RepaintNode(cutNode_);
  cutNode_ = nullptr;
}

void TBrowserForm::PasteNode(PViewNode target) {
  const PViewNode node = cutNode_;
  if (node == nullptr) return;
  ClearCutMark();
  MoveBookmarkNode(target, node);
}

void TBrowserForm::MoveBookmarkNode(PViewNode target, PViewNode node) {
  if (!IsBookmark(node) || !BookmarkList) return;
  if (target != nullptr && !Data(target)->Folder) {
    target = target->Parent == TreeViewBookmark->RootNode() ? nullptr : target->Parent;
  }
  const PViewNode parent = node->Parent == TreeViewBookmark->RootNode() ? nullptr : node->Parent;
  if (target == parent) return;
  {
    TListChange change(BookmarkList.get());
    TFormItem* record = RecordIn(BookmarkList.get(), Data(node)->Record);
    if (record == nullptr) return;
    record->IntValue = target != nullptr ? Data(target)->FolderIndex : -1;
  }
  const PViewNode destination = target != nullptr ? target : TreeViewBookmark->RootNode();
  TreeViewBookmark->MoveNode(node, destination, amAddChildLast, false);
  if (target != nullptr) TreeViewBookmark->SetExpanded(target, true);
  TreeViewBookmark->Sort(destination, 0, sdAscending);
  SaveBookmarks();
}

bool TBrowserForm::DragOverBookmarks() {
  ClearCutMark();
  return true;
}

void TBrowserForm::DropOnBookmarks(int x, int y) {
  MoveBookmarkNode(TreeViewBookmark->NodeAtPoint(x, y), TreeViewBookmark->FocusedNode());
}

void TBrowserForm::OpenFocused(int mode) {
  TBaseViewTree& tree = ModeTree();
  const PViewNode node = tree.FocusedNode();
  TMenuDispatcher* main = MainWindow();
  if (node == nullptr || Data(node)->Folder || main == nullptr) return;
  main->OpenInNewWindow(Data(node)->Record, mode);
}

// --- history operations -------------------------------------------------------------

void TBrowserForm::SaveAsBookmark() {
  const PViewNode node = TreeViewHistory->FocusedNode();
  TMenuDispatcher* main = MainWindow();
  if (node == nullptr || Data(node)->Bookmark || main == nullptr) return;
  if (!main->HistoryToBookmark(Handle(), Data(node)->Record)) return;
  LoadHistory();
  RememberStamps();
  UpdateHistoryControls(TreeViewHistory->FocusedNode());
}

void TBrowserForm::histEditRecordClick(int tag) {
  const PViewNode node = TreeViewHistory->FocusedNode();
  if (node == nullptr) return;
  if (tag == 0) return StartRename(*TreeViewHistory);
  bool savedAsBookmark = false;
  if (!EditRecordOf(node, !Data(node)->Bookmark, savedAsBookmark)) return;
  if (!savedAsBookmark) return SaveLists();
  TMenuDispatcher* main = MainWindow();
  if (main != nullptr && main->HistoryToBookmark(Handle(), Data(node)->Record)) LoadHistory();
  RememberStamps();
}

void TBrowserForm::remBookVaultClick(int tag) {
  const PViewNode node = TreeViewHistory->FocusedNode();
  TMenuDispatcher* main = MainWindow();
  if (node == nullptr || main == nullptr || tag > 1) return;
  const std::int32_t id = Data(node)->Record;
  if (!(tag == 0 ? main->DeleteHistoryRecord(Handle(), id) : main->DeleteBookmark(Handle(), id))) return;
  TreeViewHistory->DeleteNode(node);
  RememberStamps();
  UpdateHistoryControls(nullptr);
  SelectFirst();
}

void TBrowserForm::ClearHistoryClick() {
  TMenuDispatcher* main = MainWindow();
  if (main == nullptr || !main->ClearHistory(Handle())) return;
  LoadHistory();
  SelectFirst();
  UpdateHistoryControls(TreeViewHistory->FocusedNode());
}

void TBrowserForm::SortHistoryBy(TColumnIndex column) {
  TVTHeader& header = TreeViewHistory->Header();
  header.SetSortColumn(column);
  header.SetSortDirection(header.SortDirection() == sdDescending ? sdAscending : sdDescending);
}
