// The bookmark and history browser: one window class in two modes. The bookmark
// browser shows the bookmark list as a tree of folders and bookmarks, where bookmarks
// are renamed in place, edited, cut and pasted or dragged into folders, deleted and
// opened; the history browser shows the form history with the bookmarks saved since
// the history was last cleared as a flat list sorted by a clicked column.
//
// Each node owns a TBrowserNodeData (freed with its node). A record's node keeps the
// record's menu item id, never its address: the tray menu, the host toolbar and page
// results may delete records while the window is open, so every use looks the record
// up again in its list under the program's data lock and the list's own lock.
//
// Modeless, opened by the dialog launcher into its slot (6 bookmarks, 7 history); it
// frees itself when closed. Main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "app/modeless_forms.h"
#include "controls/unicode/uni_com_ctrls.h"
#include "controls/unicode/uni_ext_ctrls.h"
#include "controls/unicode/uni_menus.h"
#include "controls/unicode/uni_std_ctrls.h"
#include "controls/vtree/view_trees.h"
#include "data/form_items.h"
#include "platform/classlib/icons.h"

class TMenuDispatcher;

// What a node shows and stands for.
struct TBrowserNodeData {
  std::u16string Name;
  double Date = 0;
  std::u16string Website;
  bool Folder = false;
  // A folder's index in the bookmark list's folder names.
  int FolderIndex = -1;
  // A record's menu item id (0 for a folder).
  std::int32_t Record = 0;
  bool Cut = false;
  // History tree: a bookmark shown among the history records.
  bool Bookmark = false;
};

// A string tree that also reports key releases, double clicks and right-button presses
// (the window's own handlers run first, except for the right-button press).
class TBrowserTree : public TViewStringTree {
 public:
  using TViewStringTree::TViewStringTree;
  std::string ClassName() const override { return "TBrowserTree"; }
  TKeyEvent OnKeyUp;
  TNotifyEvent OnDblClick;
  std::function<void(TObject* sender, int x, int y)> OnRightButtonDown;

 protected:
  void WndProc(TMessage& message) override;
};

class TBrowserForm : public TListWatchForm {
 public:
  TBrowserForm(TDialogLauncher& launcher, HWND ownerWindow, TBrowserMode mode);
  ~TBrowserForm() override;
  std::string ClassName() const override { return "TBrowserForm"; }

  // Fills the tree of the mode, selects the first node and shows the window.
  void ShowMode();
  void LoadList() override;
  // False when the bookmark list is missing.
  void LoadBookmarks();
  void LoadHistory();
  TBrowserMode Mode() const { return mode_; }
  TBrowserNodeData* Data(PViewNode node) const;
  // A size below 450 x 300 is refused (the window keeps its size, and moves).
  void SetBounds(int left, int top, int width, int height) override;

  void UpdateBookmarkControls(PViewNode node);
  void UpdateHistoryControls(PViewNode node);
  // The bookmark commands by Tag: 1 edit, 2 remove, 4 new folder.
  void bookEditButtClick(int tag);
  void CreateNewBookmark();
  // The folder commands by Tag: 1 open or close, 2 rename, 3 delete.
  void DeleteFolder1Click(int tag);
  void CutNode();
  // Moves the cut node into Target (the top level when null).
  void PasteNode(PViewNode target);
  void MoveBookmarkNode(PViewNode target, PViewNode node);
  // A drag over the bookmark tree clears the cut mark and is accepted; a drop at a
  // client point moves the dragged (focused) bookmark to the node there.
  bool DragOverBookmarks();
  void DropOnBookmarks(int x, int y);
  // Opens the focused record in a new browser window: mode 1, 2 or 3.
  void OpenFocused(int mode);
  // The history commands: Tag 0 rename, 1 edit; remove: 0 history record, 1 bookmark.
  void histEditRecordClick(int tag);
  void remBookVaultClick(int tag);
  void SaveAsBookmark();
  void ClearHistoryClick();
  // Sorts the history by a column, flipping the direction.
  void SortHistoryBy(TColumnIndex column);

  TUniPanel* bookmarkPanel;
  TUniToolBar* bookToolBar;
  TUniToolButton* bookOpenButt;
  TUniToolButton* bookEditButt;
  TUniToolButton* bookRemButt;
  TUniToolButton* bookMoveButt;
  TUniToolButton* bookFoldButt;
  TBrowserTree* TreeViewBookmark;
  TUniPanel* HistoryPanel;
  TUniToolBar* histToolBar;
  TUniToolButton* histSaveButt;
  TUniToolButton* histOpenButt;
  TUniToolButton* histRemButt;
  TBrowserTree* TreeViewHistory;
  TUniPanel* Panel1;
  TUniButton* closeButton;
  TUniButton* clearHistButton;

  TMainMenu* bookMainMenu;
  TUniMenuItem* bookCreateNew;
  TUniMenuItem* bookRenameBookmark;
  TUniMenuItem* bookEditBookmark;
  TUniMenuItem* moveBookmark;
  TUniMenuItem* bookRemove;
  TUniMenuItem* bookCreateNewFolder;
  TUniMenuItem* bookRenameFolder;
  TUniMenuItem* bookDeleteFolder;
  TUniMenuItem* bookOpen;
  TMainMenu* histMainMenu;
  TUniMenuItem* histSaveAsBookmark;
  TUniMenuItem* histMoveToVault;
  TUniMenuItem* histRenameRecord;
  TUniMenuItem* histEditRecord;
  TUniMenuItem* histRemovefromHistoryList;
  TUniMenuItem* histRemovefromBookmarkList;
  TUniMenuItem* histRemoveBookmarkfromVault;
  TUniMenuItem* histOpen;
  TUniPopupMenu* UniPopupMenu1;
  TUniPopupMenu* UniPopupMenu2;
  TUniMenuItem* remHist;
  TUniMenuItem* remBook;
  TUniMenuItem* remBookVault;
  TUniPopupMenu* UniPopupMenu3;
  TUniPopupMenu* PopupMenuBookmark;
  TUniMenuItem* Cut1;
  TUniMenuItem* Paste2;
  TUniPopupMenu* PopupMenuFolder;
  TUniMenuItem* Open1;
  TUniMenuItem* Paste3;
  TUniMenuItem* RenameFolder1;
  TUniMenuItem* DeleteFolder1;
  TUniPopupMenu* PopupMenuOther;
  TUniMenuItem* Paste1;
  TUniPopupMenu* PopupMenuRecord;
  TUniPopupMenu* PopupMenuOtherHist;
  TImageList* ImageList1;
  TImageList* normImages;
  TImageList* disImages;

 protected:
  DWORD ListStamp() override;
  bool ListChanged() override;
  void ShowReloadNotice() override;
  // Only an activation still in force when the timer ticks asks for the check.
  void ActivationEnded() override { ForgetActivation(); }
  void Dispatch(TMessage& message) override;

 private:
  void BuildBookmarkPanel();
  void BuildHistoryPanel();
  void BuildMenus();
  // A mode's panel and tool bar, and a tree in a panel with its columns and events.
  TUniPanel* ModePanel(const char* name);
  TUniToolBar* ModeToolBar(TUniPanel& panel, const char* name, int buttonWidth);
  TBrowserTree* NewTree(const char* name, TUniPanel& panel);
  void BindBookmarkTree();
  void BindHistoryTree();
  TUniToolButton* ToolButton(TUniToolBar& bar, const char* name, const std::u16string& caption, int tag, int image);
  PViewNode AddNode(TBaseViewTree& tree, PViewNode parent, const TBrowserNodeData& data);
  // The tree of the window's mode.
  TBrowserTree& ModeTree() const;
  bool IsBookmark(PViewNode node) const;
  void SelectFirst();
  void SortBookmarks(PViewNode parent);
  void FocusAndSelect(TBaseViewTree& tree, PViewNode node);
  void StartRename(TBaseViewTree& tree);
  void ToggleFolder(PViewNode node);
  void ClearCutMark();
  void EditBookmark(PViewNode node);
  // Edits the node's record; true when the editor ended with OK.
  bool EditRecordOf(PViewNode node, bool history, bool& savedAsBookmark);
  void RemoveBookmark(PViewNode node);
  void RenameNode(TBaseViewTree& tree, PViewNode node, const std::u16string& text);
  void SaveBookmarks();
  void SaveLists();
  void RememberStamps();
  void CopyRecordToNode(TBaseViewTree& tree, PViewNode node, const TFormItem& record);
  TDataItems* ListOf(PViewNode node) const;
  TMenuDispatcher* MainWindow();

  TBrowserMode mode_;
  DWORD historyStamp_ = 0;
  PViewNode cutNode_ = nullptr;
};
