#include "controls/vtree/vt_object.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>

#include "controls/vtree/vt_worker.h"
#include "platform/base/clock.h"
#include "platform/classlib/forms.h"
#include "platform/win/message_queue.h"

namespace {

// Node memory comes in 8-byte units so that user data holding pointers is aligned.
std::size_t RoundUp8(std::size_t size) { return (size + 7) & ~std::size_t{7}; }

}  // namespace

// --- colours, scroll bar options, clipboard formats ---

TVTColors::TVTColors(TViewTreeObject& owner)
    : owner_(owner),
      colors_{clBtnShadow, clHighlight, clHighlight, clHighlight, clBtnFace, clBtnShadow, clBtnFace, clBtnFace,
              clWindowText, clHighlight, clBtnFace, clHighlight, clHighlight, clHighlight, clBtnShadow} {}

void TVTColors::SetColor(Index index, TColor value) {
  if (colors_[index] == value) return;
  colors_[index] = value;
  if (!owner_.IsLoading()) owner_.InvalidateTree();
}

void TVTColors::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TVTColors*>(source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  colors_ = other->colors_;
  if (owner_.UpdateCount() == 0) owner_.InvalidateTree();
}

void TScrollBarOptions::RecreateOwnerWindow() {
  if (!owner_.IsLoading() && owner_.HandleAllocated()) owner_.RecreateWnd();
}

void TScrollBarOptions::SetAlwaysVisible(bool value) {
  if (alwaysVisible_ == value) return;
  alwaysVisible_ = value;
  RecreateOwnerWindow();
}

void TScrollBarOptions::SetScrollBars(TScrollStyle value) {
  if (scrollBars_ == value) return;
  scrollBars_ = value;
  RecreateOwnerWindow();
}

void TScrollBarOptions::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TScrollBarOptions*>(source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  SetAlwaysVisible(other->alwaysVisible_);
  SetHorizontalIncrement(other->horizontal_);
  SetScrollBars(other->scrollBars_);
  SetScrollBarStyle(other->style_);
  SetVerticalIncrement(other->vertical_);
}

int TClipboardFormats::Add(const std::string& name) {
  WORD format = 0;
  const TTreeClass* owner = ClipboardFormatList() ? ClipboardFormatList()->FindFormat(name, format) : nullptr;
  if (owner == nullptr || !treeClass_.InheritsFrom(owner)) return -1;
  auto at = std::lower_bound(names_.begin(), names_.end(), name);
  if (at == names_.end() || *at != name) at = names_.insert(at, name);
  return static_cast<int>(at - names_.begin());
}

// --- the tree object ---

TViewTreeObject::TViewTreeObject(TComponent* owner, const TTreeClass& treeClass, TOptionsFactory makeOptions)
    : TCustomControl(owner), treeClass_(treeClass), clipboardFormats_(treeClass) {
  InitializeTreeGlobals();
  ControlStyle |= csOpaque;
  SetBounds(0, 0, 200, 100);
  header_ = std::make_unique<TVTHeader>(*this);
  options_ = makeOptions(*this);
  colors_ = std::make_unique<TVTColors>(*this);
  scrollBarOptions_ = std::make_unique<TScrollBarOptions>(*this);
  InitRootNode(0);
}

TViewTreeObject::~TViewTreeObject() {
  // The layers above have deleted every node; only the root is left.
  std::free(root_);
}

void TViewTreeObject::DoStateChange(TViewTreeStates enter, TViewTreeStates leave) {
  if (OnStateChange) {
    TViewTreeStates entering = enter & ~states_;
    TViewTreeStates leaving = states_ & leave;
    if (entering != 0 || leaving != 0) OnStateChange(this, enter, leave);
  }
  states_ = (states_ | enter) & ~leave;
  stopValidation_.store((states_ & tsStopValidation) != 0);
}

void TViewTreeObject::InitRootNode(std::size_t oldSize) {
  const std::size_t size = NodeRecordSize + internalDataSize_;
  if (root_ == nullptr) {
    root_ = static_cast<PViewNode>(std::calloc(1, size));
    if (root_ == nullptr) throw std::bad_alloc();
    root_->Parent = reinterpret_cast<PViewNode>(this);
    root_->PrevSibling = root_;
    root_->NextSibling = root_;
    root_->States = vsInitialized | vsExpanded | vsHasChildren | vsVisible;
    root_->TotalCount = 1;
    root_->TotalHeight = defaultNodeHeight_;
    root_->NodeHeight = static_cast<std::uint16_t>(defaultNodeHeight_);
    root_->Align = 50;
    return;
  }
  auto* grown = static_cast<PViewNode>(std::realloc(root_, size));
  if (grown == nullptr) throw std::bad_alloc();
  std::memset(reinterpret_cast<char*>(grown) + oldSize, 0, size - oldSize);
  // The root's links to itself and its children's parent links follow the move.
  if (grown != root_) {
    grown->PrevSibling = grown;
    grown->NextSibling = grown;
    for (PViewNode child = grown->FirstChild; child != nullptr; child = child->NextSibling) child->Parent = grown;
  }
  root_ = grown;
}

std::size_t TViewTreeObject::ReserveNodeDataSpace(std::size_t size) {
  const std::size_t offset = NodeRecordSize + internalDataSize_;
  internalDataSize_ += RoundUp8(size);
  InitRootNode(offset);
  return offset;
}

void* TViewTreeObject::NodeUserData(PViewNode node) const {
  if (node == nullptr || node == root_ || nodeDataSize_ <= 0) return nullptr;
  return reinterpret_cast<char*>(node) + NodeRecordSize + internalDataSize_;
}

PViewNode TViewTreeObject::MakeNewNode() {
  if (nodeDataSize_ == -1) {
    nodeDataSize_ = 0;
    int size = 0;
    if (OnGetNodeDataSize) OnGetNodeDataSize(this, size);
    nodeDataSize_ = std::max(size, 0);
  }
  const bool designing = (ComponentState() & csDesigning) != 0;
  const std::size_t userSize = designing ? 0 : static_cast<std::size_t>(std::max(nodeDataSize_, 0));
  auto node = static_cast<PViewNode>(std::calloc(1, RoundUp8(NodeRecordSize + internalDataSize_ + userSize)));
  if (node == nullptr) throw std::bad_alloc();
  node->TotalCount = 1;
  node->TotalHeight = defaultNodeHeight_;
  node->NodeHeight = static_cast<std::uint16_t>(defaultNodeHeight_);
  node->States = vsVisible;
  node->Align = 50;
  return node;
}

void TViewTreeObject::FreeNodeMemory(PViewNode node) {
  StopCacheValidation();
  std::free(node);
}

void TViewTreeObject::ForgetNode(PViewNode node) {
  // An edit of a node that goes ends, even when its editor would rather not.
  if (node == editNode_ && !CancelEditNode()) {
    DoStateChange(0, tsEditing);
    editLink_.Reset();
  }
  if (node == focusedNode_) focusedNode_ = nullptr;
  if (node == rangeAnchor_) rangeAnchor_ = nullptr;
  if (node == lastChangedNode_) lastChangedNode_ = nullptr;
  if (node == lastStructureChangeNode_) lastStructureChangeNode_ = nullptr;
  if (node == currentHotNode_) currentHotNode_ = nullptr;
  if (node == dropTargetNode_) dropTargetNode_ = nullptr;
  // A drag's nodes that are freed meanwhile are none of the drag's business after.
  if (!dragSelection_.empty()) std::erase(dragSelection_, node);
  if (node == lastSearchNode_) lastSearchNode_ = nullptr;
  if (node == checkNode_) {
    checkNode_ = nullptr;
    DoStateChange(0, tsMouseCheckPending | tsKeyCheckPending);
  }
  if (node == editNode_) editNode_ = nullptr;
}

void TViewTreeObject::SetEditLink(IVTEditLinkPtr link, PViewNode node, TColumnIndex column) {
  editLink_ = std::move(link);
  editNode_ = node;
  editColumn_ = column;
  DoStateChange(tsEditing, tsEditPending);
}

void TViewTreeObject::InvalidateCache() {
  StopCacheValidation();
  DoStateChange(tsValidationNeeded, tsUseCache);
}

void TViewTreeObject::StopCacheValidation() {
  if (!validationQueued_) return;
  const bool removed = UnqueueTree(*this);
  const bool held = WorkerHoldsTree(*this);
  validationQueued_ = false;
  if (!removed && !held) return;
  DoStateChange(tsStopValidation, tsUseCache);
  // The worker reports through this window: its messages are taken until it lets go
  // of the tree, so that nothing changes under a running build. A quit request taken
  // meanwhile is passed on afterwards.
  std::optional<int> quit;
  while (WorkerHoldsTree(*this)) {
    MSG msg;
    if (PeekMessageW(&msg, Handle(), 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = static_cast<int>(msg.wParam);
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    } else {
      std::this_thread::yield();
    }
  }
  if (quit) PostQuitMessage(*quit);
  // An interrupted build is made again later.
  if (!InState(tsUseCache)) DoStateChange(tsValidationNeeded);
}

void TViewTreeObject::StopTimer(UINT_PTR id) {
  if (HandleAllocated()) KillTimer(Handle(), id);
}

void TViewTreeObject::SetUpdateState(bool updating) {
  if (Visible() && HandleAllocated()) SendMessageA(Handle(), WM_SETREDRAW, updating ? 0 : 1, 0);
}

RECT TViewTreeObject::FrameInsets() const {
  const int bevel = bevelKind_ == bkNone ? 0 : (bevelInner_ != bvNone ? bevelWidth_ : 0) + (bevelOuter_ != bvNone ? bevelWidth_ : 0);
  auto side = [&](TBevelEdges edge) { return borderWidth_ + ((bevelEdges_ & edge) != 0 ? bevel : 0); };
  return RECT{side(beLeft), side(beTop), side(beRight), side(beBottom)};
}

void TViewTreeObject::UpdateHeaderRect() {
  const RECT insets = FrameInsets();
  headerRect_ = RECT{insets.left, insets.top, Width() - insets.right, Height() - insets.bottom};
  if ((header_->Options() & hoVisible) == 0) {
    headerRect_.bottom = headerRect_.top;
  } else if (headerRect_.left > headerRect_.right) {
    headerRect_ = RECT{};
  } else {
    headerRect_.bottom = headerRect_.top + static_cast<LONG>(header_->Height());
  }
}

RECT TViewTreeObject::TreeClientRect() {
  if (HandleAllocated()) {
    RECT r{};
    GetClientRect(Handle(), &r);
    return r;
  }
  const int header = (header_->Options() & hoVisible) != 0 ? static_cast<int>(header_->Height()) : 0;
  return RECT{0, 0, Width(), std::max(Height() - header, 0)};
}

void TViewTreeObject::SetBiDiMode(TBiDiMode value) {
  if (biDiMode_ == value) return;
  biDiMode_ = value;
  for (int i = 0; i < header_->ColumnCount(); ++i) header_->Columns()[i].TakeTreeReadingOrder();
  InvalidateTree();
}

void TViewTreeObject::DoColumnResize(TColumnIndex column) {
  if (OnColumnResize) OnColumnResize(header_.get(), column);
}

void TViewTreeObject::MainColumnChanged() { CancelEditNode(); }

void TViewTreeObject::InvalidateTree() {
  if (HandleAllocated()) Invalidate();
}

void TViewTreeObject::RepaintUnlessLoading() {
  if (!IsLoading()) InvalidateTree();
}

void TViewTreeObject::RepaintWhenLive() {
  if (IsLive()) InvalidateTree();
}

TColumnIndex TViewTreeObject::MainOrFirstVisibleColumn() const {
  TColumnIndex main = header_->MainColumn();
  return header_->IsColumnVisible(main) ? main : header_->FirstVisibleColumn();
}

void TViewTreeObject::Animate(std::uint32_t steps, std::uint32_t duration,
                              const std::function<bool(int, int)>& callback) {
  if (InState(tsInAnimation) || duration == 0) return;
  auto terminating = [] { return Application != nullptr && Application->Terminated(); };
  DoStateChange(tsInAnimation);
  try {
    int stepSize = std::max(1, static_cast<int>(std::nearbyint(static_cast<double>(steps) / duration)));
    int remainingSteps = static_cast<int>(steps) / stepSize;
    int remainingTime = static_cast<int>(duration);
    int step = 0;
    while (remainingSteps > 0 && remainingTime > 0 && !terminating()) {
      const DWORD start = GetTickCount();
      const DWORD next = start + static_cast<DWORD>(remainingTime / remainingSteps);
      if (!callback(step, stepSize)) break;
      for (DWORD now = GetTickCount(); static_cast<int>(next - now) > 0; now = GetTickCount()) Sleep(next - now);
      const int spent = static_cast<int>(GetTickCount() - start);
      if (spent > remainingTime) {
        remainingTime = remainingSteps = 0;
      } else {
        remainingTime -= spent;
        --remainingSteps;
      }
      while (remainingSteps > 0 && remainingTime / remainingSteps == 0) {
        ++stepSize;
        remainingSteps = remainingTime / stepSize;
      }
      step = static_cast<int>(steps) - remainingSteps;
    }
    if (!terminating()) callback(0, 0);
  } catch (...) {
    DoStateChange(0, tsCancelHintAnimation | tsInAnimation);
    throw;
  }
  DoStateChange(0, tsCancelHintAnimation | tsInAnimation);
}

void TViewTreeObject::Loaded() {
  TCustomControl::Loaded();
  if (header_->Columns().NeedPositionsFix) header_->Columns().RebuildPositions();
  if (InState(tsNeedRootCountUpdate) && storedRootCount_ > 0) {
    DoStateChange(0, tsNeedRootCountUpdate);
    const TVTMiscOptions misc = options_->MiscOptions();
    options_->SetMiscOptions(misc & ~toReadOnly);
    const std::uint32_t count = storedRootCount_;
    storedRootCount_ = 0;
    BeginUpdate();
    SetChildCount(root_, count);
    EndUpdate();
    options_->SetMiscOptions(misc);
  }
}

// --- property setters ---

void TViewTreeObject::SetNodeDataSize(int value) {
  value = std::max(value, -1);
  if (value == nodeDataSize_) return;
  nodeDataSize_ = value;
  if (IsLoading() || (ComponentState() & csDesigning) != 0) return;
  const std::uint32_t count = root_->ChildCount;
  Clear();
  SetRootNodeCount(count);
}

void TViewTreeObject::SetRootNodeCount(std::uint32_t value) {
  if (IsLoading()) {
    storedRootCount_ = value;
    DoStateChange(tsNeedRootCountUpdate);
    return;
  }
  if (value == root_->ChildCount) return;
  BeginUpdate();
  StopCacheValidation();
  SetChildCount(root_, value);
  EndUpdate();
}

void TViewTreeObject::SetDefaultNodeHeight(std::uint32_t value) {
  if (value == 0) value = 18;
  if (value == defaultNodeHeight_) return;
  DoStateChange(tsNeedScale);
  const std::int64_t difference = static_cast<std::int64_t>(value) - defaultNodeHeight_;
  root_->TotalHeight = static_cast<std::uint32_t>(root_->TotalHeight + difference);
  root_->NodeHeight = static_cast<std::uint16_t>(root_->NodeHeight + difference);
  defaultNodeHeight_ = value;
  InvalidateCache();
  if (updateCount_ == 0 && IsLive()) {
    ValidateCache();
    UpdateScrollBars(true);
    InvalidateTree();
  }
}

void TViewTreeObject::SetIndent(std::uint32_t value) {
  if (indent_ == value) return;
  indent_ = value;
  if (updateCount_ == 0) RepaintWhenLive();
}

void TViewTreeObject::SetMargin(int value) {
  if (margin_ == value) return;
  margin_ = value;
  RepaintWhenLive();
}

void TViewTreeObject::SetTextMargin(int value) {
  if (textMargin_ == value) return;
  textMargin_ = value;
  RepaintUnlessLoading();
}

void TViewTreeObject::SetAnimationDuration(std::uint32_t value) {
  animationDuration_ = value;
  const TVTAnimationOptions animation = options_->AnimationOptions();
  options_->SetAnimationOptions(value != 0 ? animation | toAnimatedToggle
                                           : static_cast<TVTAnimationOptions>(animation & ~toAnimatedToggle));
}

void TViewTreeObject::SetAutoScrollInterval(std::uint32_t value) {
  autoScrollInterval_ = std::clamp<std::uint32_t>(value, 1, 1000);
}

void TViewTreeObject::SetBottomSpace(std::uint32_t value) {
  if (bottomSpace_ == value) return;
  bottomSpace_ = value;
  RepaintWhenLive();
}

void TViewTreeObject::SetBackground(TPicture& value) {
  background_.Bitmap().Assign(&value.Bitmap());
  InvalidateTree();
}

void TViewTreeObject::SetBackgroundOffsetX(int value) {
  if (backgroundOffsetX_ == value) return;
  backgroundOffsetX_ = value;
  InvalidateTree();
}

void TViewTreeObject::SetBackgroundOffsetY(int value) {
  if (backgroundOffsetY_ == value) return;
  backgroundOffsetY_ = value;
  InvalidateTree();
}

void TViewTreeObject::SetAlignment(TAlignment value) {
  if (alignment_ == value) return;
  alignment_ = value;
  RepaintUnlessLoading();
}

void TViewTreeObject::SetBorderStyle(TBorderStyle value) {
  if (borderStyle_ == value) return;
  borderStyle_ = value;
  RecreateWnd();
}

void TViewTreeObject::SetNodeAlignment(TVTNodeAlignment value) {
  if (nodeAlignment_ == value) return;
  nodeAlignment_ = value;
  RepaintWhenLive();
}

void TViewTreeObject::SetLineMode(TVTLineMode value) {
  if (lineMode_ == value) return;
  lineMode_ = value;
  RepaintWhenLive();
}

void TViewTreeObject::SetLineStyle(TVTLineStyle value) {
  if (lineStyle_ == value) return;
  lineStyle_ = value;
  RepaintWhenLive();
}

void TViewTreeObject::SetButtonStyle(TVTButtonStyle value) {
  if (buttonStyle_ == value) return;
  buttonStyle_ = value;
  RepaintWhenLive();
}

void TViewTreeObject::SetButtonFillMode(TVTButtonFillMode value) {
  if (buttonFillMode_ == value) return;
  buttonFillMode_ = value;
  RepaintWhenLive();
}

void TViewTreeObject::SetCheckImageKind(TCheckImageKind value) {
  if (checkImageKind_ == value) return;
  checkImageKind_ = value;
  if (updateCount_ == 0) RepaintWhenLive();
}

void TViewTreeObject::SetSelectionCurveRadius(std::uint32_t value) {
  if (selectionCurveRadius_ == value) return;
  selectionCurveRadius_ = value;
  RepaintWhenLive();
}

void TViewTreeObject::SetIncrementalSearch(TVTIncrementalSearch value) {
  if (incrementalSearch_ == value) return;
  incrementalSearch_ = value;
  if (value == isNone) {
    StopTimer(SearchTimer);
    searchBuffer_.clear();
    lastSearchNode_ = nullptr;
  }
}

void TViewTreeObject::SetClipboardFormats(const std::vector<std::string>& names) {
  clipboardFormats_.Clear();
  for (const auto& name : names) clipboardFormats_.Add(name);
}
