// The tree's vocabulary: the node record, node and tree states, the enumerations the
// tree's operations and events pass around, its error type and a few small helpers.
//
// A node is one heap block: the record below, then the internal data that tree
// classes reserve, then NodeDataSize bytes of user data. The record is laid out for
// 64-bit pointers; the data behind it starts 8-aligned so that user records holding
// pointers need no special care.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/base/types.h"
#include "platform/classlib/exceptions.h"
#include "platform/win/window.h"

// Node states (TViewNode::States), bit 0 first.
using TViewNodeStates = std::uint16_t;
inline constexpr TViewNodeStates vsInitialized = 1u << 0;
inline constexpr TViewNodeStates vsChecking = 1u << 1;
inline constexpr TViewNodeStates vsCutOrCopy = 1u << 2;
inline constexpr TViewNodeStates vsDisabled = 1u << 3;
inline constexpr TViewNodeStates vsDeleting = 1u << 4;
inline constexpr TViewNodeStates vsExpanded = 1u << 5;
inline constexpr TViewNodeStates vsHasChildren = 1u << 6;
inline constexpr TViewNodeStates vsVisible = 1u << 7;
inline constexpr TViewNodeStates vsSelected = 1u << 8;
inline constexpr TViewNodeStates vsInitialUserData = 1u << 9;
inline constexpr TViewNodeStates vsAllChildrenHidden = 1u << 10;
inline constexpr TViewNodeStates vsClearing = 1u << 11;
inline constexpr TViewNodeStates vsMultiline = 1u << 12;
inline constexpr TViewNodeStates vsHeightMeasured = 1u << 13;
inline constexpr TViewNodeStates vsToggling = 1u << 14;

enum TCheckState : std::uint8_t {
  csUncheckedNormal,
  csUncheckedPressed,
  csCheckedNormal,
  csCheckedPressed,
  csMixedNormal,
  csMixedPressed
};
enum TCheckType : std::uint8_t { ctNone, ctTriStateCheckBox, ctCheckBox, ctRadioButton, ctButton };

struct TViewNode;
using PViewNode = TViewNode*;

struct TViewNode {
  std::uint32_t Index;
  std::uint32_t ChildCount;
  std::uint16_t NodeHeight;
  TViewNodeStates States;
  std::uint8_t Align;
  TCheckState CheckState;
  TCheckType CheckType;
  std::uint8_t Dummy;  // keeps the counts 4-aligned
  std::uint32_t TotalCount;
  std::uint32_t TotalHeight;
  PViewNode Parent;  // the root's holds the tree object
  PViewNode PrevSibling;
  PViewNode NextSibling;  // the root's points to itself
  PViewNode FirstChild;
  PViewNode LastChild;

  // The flags are read by the cache-validation worker while the tree's thread may
  // change other flags of the same node (selection, measuring), so they change as
  // one atomic word.
  bool Has(TViewNodeStates state) const {
    return (std::atomic_ref<TViewNodeStates>(const_cast<TViewNodeStates&>(States)).load(std::memory_order_relaxed) & state) != 0;
  }
  void Include(TViewNodeStates state) {
    std::atomic_ref<TViewNodeStates>(States).fetch_or(state, std::memory_order_relaxed);
  }
  void Exclude(TViewNodeStates state) {
    std::atomic_ref<TViewNodeStates>(States).fetch_and(static_cast<TViewNodeStates>(~state), std::memory_order_relaxed);
  }
};
static_assert(sizeof(TViewNode) % 8 == 0, "data behind the record must stay 8-aligned");

// The offset of the internal data area from the start of a node.
inline constexpr std::size_t NodeRecordSize = sizeof(TViewNode);

// Tree states: a set of 52 flags, bit number = ordinal.
using TViewTreeStates = std::uint64_t;
inline constexpr TViewTreeStates TreeState(int bit) { return TViewTreeStates{1} << bit; }
inline constexpr TViewTreeStates tsCancelHintAnimation = TreeState(0);
inline constexpr TViewTreeStates tsChangePending = TreeState(1);
inline constexpr TViewTreeStates tsCheckPropagation = TreeState(2);
inline constexpr TViewTreeStates tsCollapsing = TreeState(3);
inline constexpr TViewTreeStates tsToggleFocusedSelection = TreeState(4);
inline constexpr TViewTreeStates tsClearPending = TreeState(5);
inline constexpr TViewTreeStates tsClipboardFlushing = TreeState(6);
inline constexpr TViewTreeStates tsCopyPending = TreeState(7);
inline constexpr TViewTreeStates tsCutPending = TreeState(8);
inline constexpr TViewTreeStates tsDrawSelPending = TreeState(9);
inline constexpr TViewTreeStates tsDrawSelecting = TreeState(10);
inline constexpr TViewTreeStates tsEditing = TreeState(11);
inline constexpr TViewTreeStates tsEditPending = TreeState(12);
inline constexpr TViewTreeStates tsExpanding = TreeState(13);
inline constexpr TViewTreeStates tsHint = TreeState(14);
inline constexpr TViewTreeStates tsInAnimation = TreeState(15);
inline constexpr TViewTreeStates tsIncrementalSearching = TreeState(16);
inline constexpr TViewTreeStates tsIncrementalSearchPending = TreeState(17);
inline constexpr TViewTreeStates tsIterating = TreeState(18);
inline constexpr TViewTreeStates tsKeyCheckPending = TreeState(19);
inline constexpr TViewTreeStates tsLeftButtonDown = TreeState(20);
inline constexpr TViewTreeStates tsLeftDblClick = TreeState(21);
inline constexpr TViewTreeStates tsMouseCheckPending = TreeState(22);
inline constexpr TViewTreeStates tsMiddleButtonDown = TreeState(23);
inline constexpr TViewTreeStates tsMiddleDblClick = TreeState(24);
inline constexpr TViewTreeStates tsNeedScale = TreeState(25);
inline constexpr TViewTreeStates tsNeedRootCountUpdate = TreeState(26);
inline constexpr TViewTreeStates tsOLEDragging = TreeState(27);
inline constexpr TViewTreeStates tsOLEDragPending = TreeState(28);
inline constexpr TViewTreeStates tsPainting = TreeState(29);
inline constexpr TViewTreeStates tsRightButtonDown = TreeState(30);
inline constexpr TViewTreeStates tsRightDblClick = TreeState(31);
inline constexpr TViewTreeStates tsPopupMenuShown = TreeState(32);
inline constexpr TViewTreeStates tsScrolling = TreeState(33);
inline constexpr TViewTreeStates tsScrollPending = TreeState(34);
inline constexpr TViewTreeStates tsSizing = TreeState(35);
inline constexpr TViewTreeStates tsStopValidation = TreeState(36);
inline constexpr TViewTreeStates tsStructureChangePending = TreeState(37);
inline constexpr TViewTreeStates tsSynchMode = TreeState(38);
inline constexpr TViewTreeStates tsThumbTracking = TreeState(39);
inline constexpr TViewTreeStates tsUpdateHiddenChildrenNeeded = TreeState(40);
inline constexpr TViewTreeStates tsUpdating = TreeState(41);
inline constexpr TViewTreeStates tsUseCache = TreeState(42);
inline constexpr TViewTreeStates tsUserDragObject = TreeState(43);
inline constexpr TViewTreeStates tsUseThemes = TreeState(44);
inline constexpr TViewTreeStates tsValidating = TreeState(45);
inline constexpr TViewTreeStates tsValidationNeeded = TreeState(46);
inline constexpr TViewTreeStates tsVCLDragging = TreeState(47);
inline constexpr TViewTreeStates tsVCLDragPending = TreeState(48);
inline constexpr TViewTreeStates tsWheelPanning = TreeState(49);
inline constexpr TViewTreeStates tsWheelScrolling = TreeState(50);
inline constexpr TViewTreeStates tsWindowCreating = TreeState(51);

enum TVTNodeAttachMode { amNoWhere, amInsertBefore, amInsertAfter, amAddChildFirst, amAddChildLast };
enum TChangeReason { crIgnore, crAccumulated, crChildAdded, crChildDeleted, crNodeAdded, crNodeCopied, crNodeMoved };
enum TSortDirection : std::uint8_t { sdAscending, sdDescending };
enum TVTUpdateState { usBegin, usBeginSynch, usSynch, usUpdate, usEnd, usEndSynch };
enum TVTImageKind { ikNormal, ikSelected, ikState, ikOverlay };

// Signed column number: -1 no column, -2 and below an invalid one.
using TColumnIndex = std::int32_t;
inline constexpr TColumnIndex NoColumn = -1;
inline constexpr TColumnIndex InvalidColumn = -2;

// Initial states an OnInitNode handler gives a node.
using TViewNodeInitStates = unsigned;
inline constexpr TViewNodeInitStates ivsDisabled = 1u << 0;
inline constexpr TViewNodeInitStates ivsExpanded = 1u << 1;
inline constexpr TViewNodeInitStates ivsHasChildren = 1u << 2;
inline constexpr TViewNodeInitStates ivsMultiline = 1u << 3;
inline constexpr TViewNodeInitStates ivsSelected = 1u << 4;

using TNodeArray = std::vector<PViewNode>;

// Capacity of a node array that is full: 100 below 100 entries, else a tenth more.
std::size_t GrownNodeCapacity(std::size_t capacity);

// The tree's errors, with a help context (2000 to 2008).
class EViewTreeError : public Exception {
 public:
  EViewTreeError(std::string message, int helpContext) : Exception(std::move(message)), helpContext_(helpContext) {}
  int HelpContext() const { return helpContext_; }

 private:
  int helpContext_;
};

// Raises EViewTreeError with the message and help context.
[[noreturn]] void ShowError(const std::u16string& message, int helpContext);

class TViewTreeObject;
// The tree that owns a node: the parent link of the root, which is its own next
// sibling. Nil for nil.
TViewTreeObject* TreeFromNode(PViewNode node);

// A rectangle with left <= right and top <= bottom.
RECT OrderRect(const RECT& rect);

// Sorts pointer-sized values ascending in place (quicksort, middle pivot). The
// selection is kept in address order with it; addresses need all 64 bits.
void QuickSortCardinals(std::span<std::uintptr_t> values, std::ptrdiff_t low, std::ptrdiff_t high);
