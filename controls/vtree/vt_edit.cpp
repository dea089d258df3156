#include "controls/vtree/vt_edit.h"

#include <algorithm>

#include "controls/vtree/view_trees.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/keyboard.h"
#include "platform/win/std_controls.h"

namespace {

// An editor is never narrower than this.
constexpr int kMinimumWidth = 30;

bool IsMultiline(const TStringEditLink& link) { return link.Node() != nullptr && link.Node()->Has(vsMultiline); }

}  // namespace

// --- the editor window ---

TVTEdit::TVTEdit(TStringEditLink* creator) : TUniEdit(nullptr), creator_(creator) {
  ShowHint = false;
  SetVisible(false);
}

TVTEdit::~TVTEdit() {
  if (creator_ != nullptr) creator_->edit_ = nullptr;
}

void TVTEdit::TakeLink(TStringEditLink* link) {
  counted_ = IVTEditLinkPtr(link);
  link_ = link;
}

void TVTEdit::DropLink() {
  link_ = nullptr;
  counted_.Reset();  // may be the link's last reference: nothing of it is touched after
}

void TVTEdit::Release() {
  if (HandleAllocated()) {
    PostMessageA(Handle(), CM_RELEASE, 0, 0);
    return;
  }
  delete this;
}

void TVTEdit::CreateParams(TCreateParams& params) {
  TUniEdit::CreateParams(params);
  // Always multi-line: only such an edit takes a formatting rectangle.
  params.Style |= ES_MULTILINE;
  if (link_ != nullptr && IsMultiline(*link_)) {
    params.Style &= ~(ES_AUTOHSCROLL | WS_HSCROLL);
    params.Style |= WS_VSCROLL | ES_AUTOVSCROLL;
  }
  if (link_ != nullptr && link_->Tree()->InState(tsUseThemes)) {
    params.Style &= ~WS_BORDER;
    params.ExStyle |= WS_EX_CLIENTEDGE;
  } else {
    params.Style |= WS_BORDER;
    params.ExStyle &= ~WS_EX_CLIENTEDGE;
  }
}

void TVTEdit::KeyDownMessage(TMessage& message) {
  // Ending or cancelling may release the link: only the tree is used afterwards.
  TCustomViewStringTree* tree = link_->Tree();
  const bool multiline = IsMultiline(*link_);
  switch (message.WParam) {
    case VK_RETURN:
      if (multiline && GetKeyState(VK_CONTROL) >= 0) break;
      tree->InvalidateNodeRect(link_->Node());
      tree->EndEditNode();
      tree->SetFocus();
      return;
    case VK_ESCAPE:
      tree->CancelEditNode();
      tree->SetFocus();
      return;
    case VK_UP:
    case VK_DOWN:
      if (!multiline) message.WParam = message.WParam == VK_UP ? VK_LEFT : VK_RIGHT;
      break;
    default:
      break;
  }
  TUniEdit::Dispatch(message);
}

void TVTEdit::ExitMessage() {
  if (link_ == nullptr || link_->Stopping()) return;
  TCustomViewStringTree* tree = link_->Tree();
  if ((tree->StringOptions() & toAutoAcceptEditChange) != 0) {
    tree->EndEditNode();
  } else {
    tree->CancelEditNode();
  }
}

void TVTEdit::DestroyMessage() {
  if (link_ == nullptr || link_->Stopping()) return;
  TCustomViewStringTree* tree = link_->Tree();
  if ((tree->StringOptions() & toAutoAcceptEditChange) != 0 && Modified()) {
    tree->SetCellText(link_->Node(), link_->Column(), Text());
  }
  DropLink();
}

void TVTEdit::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_GETDLGCODE:
      TUniEdit::Dispatch(message);
      message.Result |= DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS;
      return;
    case WM_KEYDOWN:
      if (link_ == nullptr) break;
      KeyDownMessage(message);
      return;
    case WM_CHAR:
      if (message.WParam == 9 || message.WParam == 27) return;  // no beep for Tab and Escape
      break;
    case CN_COMMAND:
      if (HIWORD(static_cast<DWORD>(message.WParam)) == EN_UPDATE && link_ != nullptr && !IsMultiline(*link_) &&
          (link_->Tree()->TreeOptions().MiscOptions() & toGridExtensions) == 0) {
        AutoAdjustSize();
      }
      break;
    case CM_AUTOADJUST:
      AutoAdjustSize();
      return;
    case CM_EXIT:
      ExitMessage();
      return;
    case WM_DESTROY:
      DestroyMessage();
      break;
    case CM_RELEASE:
      delete this;
      return;
    default:
      break;
  }
  TUniEdit::Dispatch(message);
}

void TVTEdit::AutoAdjustSize() {
  if (link_ == nullptr || IsMultiline(*link_) || !HandleAllocated()) return;
  SendMessageA(Handle(), WM_SETREDRAW, 0, 0);
  const std::u16string text = Text();
  HDC dc = GetDC(Handle());
  HGDIOBJ old = SelectObject(dc, Font().Handle());
  SIZE size{};
  GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(Handle(), dc);
  const int width = size.cx + 2 * link_->Tree()->TextMargin();
  // A shrinking editor leaves the old area to the node's repaint.
  if (Width() > width) link_->Tree()->InvalidateNodeRect(link_->Node());
  RECT bounds = BoundsRect();
  if (link_->Alignment() == taRightJustify) {
    bounds.left = bounds.right - width;
  } else {
    bounds.right = bounds.left + width;
  }
  link_->SetBounds(bounds);
  SendMessageA(Handle(), WM_SETREDRAW, 1, 0);
}

// --- the link ---

TStringEditLink::TStringEditLink() : edit_(new TVTEdit(this)) {}

TStringEditLink::~TStringEditLink() {
  if (edit_ == nullptr) return;
  edit_->creator_ = nullptr;
  edit_->Release();
}

bool TStringEditLink::PrepareEdit(TBaseViewTree* tree, PViewNode node, TColumnIndex column) {
  auto* stringTree = dynamic_cast<TCustomViewStringTree*>(tree);
  if (stringTree == nullptr || edit_ == nullptr) return false;
  tree_ = stringTree;
  node_ = node;
  column_ = column;
  std::u16string text;
  tree_->GetTextInfo(node, column, edit_->Font(), textBounds_, text);
  edit_->Font().SetColor(clWindowText);
  edit_->SetParent(tree_);
  // The window is made for this cell (its style follows the node); an old one goes
  // before the editor serves the link, so that its end stores nothing.
  edit_->DestroyHandle();
  edit_->TakeLink(this);
  edit_->HandleNeeded();
  edit_->SetText(text);
  TViewTreeColumns& columns = tree_->Header().Columns();
  const bool real = column > NoColumn && columns.IsValidColumn(column);
  const TBiDiMode biDi = real ? columns[column].BiDiMode() : tree_->BiDiMode();
  alignment_ = real ? columns[column].Alignment() : tree_->Alignment();
  if (biDi != bdLeftToRight && alignment_ != taCenter) {
    alignment_ = alignment_ == taLeftJustify ? taRightJustify : taLeftJustify;
  }
  return true;
}

bool TStringEditLink::BeginEdit() {
  if (stopping_ || edit_ == nullptr) return false;
  edit_->Show();
  edit_->SelectAll();
  edit_->SetFocus();
  return true;
}

bool TStringEditLink::EndEdit() {
  if (stopping_ || edit_ == nullptr) return false;
  stopping_ = true;
  if (edit_->Modified()) tree_->SetCellText(node_, column_, edit_->Text());
  edit_->Hide();
  edit_->DropLink();
  return true;
}

bool TStringEditLink::CancelEdit() {
  if (stopping_ || edit_ == nullptr) return false;
  stopping_ = true;
  edit_->Hide();
  tree_->CancelEditNode();
  edit_->DropLink();
  return true;
}

RECT TStringEditLink::GetBounds() { return edit_ != nullptr ? edit_->BoundsRect() : RECT{}; }

void TStringEditLink::ProcessMessage(TMessage& message) {
  if (edit_ != nullptr) edit_->WindowProc(message);
}

void TStringEditLink::SetBounds(RECT r) {
  if (stopping_ || edit_ == nullptr) return;
  r.left = std::max<LONG>(r.left, 0);
  if (r.right - r.left < kMinimumWidth) {
    if (alignment_ == taRightJustify) {
      r.left = r.right - kMinimumWidth;
    } else {
      r.right = r.left + kMinimumWidth;
    }
  }
  r.right = std::min<LONG>(r.right, tree_->TreeClientRect().right);
  edit_->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  // The text sits where the cell's text sat.
  const int inset = tree_->InState(tsUseThemes) ? 3 : 2;
  RECT format = edit_->ClientRect();
  format = RECT{format.left - (inset - tree_->TextMargin()), format.top - inset,
                format.right + (inset - tree_->TextMargin()), format.bottom + inset};
  if (!IsMultiline(*this)) {
    const LONG shift = textBounds_.top - r.top;
    format.top += shift;
    format.bottom += shift;
  }
  SendMessageA(edit_->Handle(), EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&format));
}
