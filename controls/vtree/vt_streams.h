// Nodes as bytes: the tree stream (saving nodes with their subtrees, loading them
// into this or another tree), node transfer through data objects, and the node
// clipboard (cut, copy, paste, cancel, finish). Trees of this process are known by
// an id from a registry of live trees, so that a data object names its tree by
// (process id, tree id) and a tree that is gone is simply not found.
//
// The stream: a 12-byte magic (six UTF-16 units, the fourth the version), a 32-bit
// count of node chunks, then the chunks. A chunk is an 8-byte header (type, size of
// what follows) and its data; a node chunk holds a base chunk (the node's fields and
// its children's node chunks), a user chunk (OnSaveNode's bytes) when there are any,
// and the chunks derived trees add. Everything little-endian.
//
// Reading trusts nothing: every size is checked against the bytes its container
// still holds, a child count against the smallest size its children could have, and
// the nesting depth against a fixed bound; the application's user-chunk handler
// sees only its chunk. A node whose own fields were not read whole is dropped and its
// parent's child count set to the children kept; the error is raised afterwards,
// with the tree consistent and the nodes read so far kept.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "controls/vtree/vt_checks.h"
#include "platform/classlib/streams.h"
#include "platform/com/data_object.h"

class TViewTreeStreams;

using TVTSaveNodeEvent = std::function<void(TViewTreeObject* sender, PViewNode node, TStream& stream)>;
using TVTGetUserClipboardFormatsEvent = std::function<void(TViewTreeObject* sender, std::vector<FORMATETC>& formats)>;
using TVTRenderOLEDataEvent = std::function<void(TViewTreeObject* sender, const FORMATETC& formatEtcIn,
                                                 STGMEDIUM& medium, bool forClipboard, HRESULT& result)>;
using TVTCreateDataObjectEvent =
    std::function<void(TViewTreeObject* sender, platform::com::ComPtr<IDataObject>& dataObject)>;

// The stream's chunk types.
inline constexpr std::uint32_t NodeChunk = 1;
inline constexpr std::uint32_t BaseChunk = 2;
inline constexpr std::uint32_t UserChunk = 4;
// The deepest nesting a stream may have; deeper data is refused as damaged.
inline constexpr int MaxStreamDepth = 2000;

class TViewTreeStreams : public TViewTreeChecks {
 public:
  TViewTreeStreams(TComponent* owner, const TTreeClass& treeClass, TOptionsFactory makeOptions);
  // Lets go of a clipboard object of this tree first (its data stays on the clipboard
  // as far as it could be rendered) and leaves the registry of live trees.
  ~TViewTreeStreams() override;

  virtual void SaveToStream(TStream& stream, PViewNode node = nullptr);
  virtual void WriteNode(TStream& stream, PViewNode node);
  // Clears the tree first; raises EViewTreeError (or the stream's read error) for
  // damaged data, keeping what was read whole before it.
  virtual void LoadFromStream(TStream& stream);
  virtual void LoadFromFile(const std::string& fileName);
  // Fills a node already linked into the tree from one node chunk and repairs the
  // counts, heights and the selection.
  virtual void InternalAddFromStream(TStream& stream, int version, PViewNode node);
  virtual void SkipNodeChunk(TStream& stream);

  // Reads nodes from a data object that offers the tree stream and attaches them at
  // target (nil: the root). Optimized moves the source tree's nodes instead.
  bool ProcessOLEData(TViewTreeStreams* source, IDataObject* dataObject, PViewNode targetNode,
                      TVTNodeAttachMode mode, bool optimized);
  virtual bool CopyToClipboard();
  virtual bool CutToClipboard();
  virtual bool PasteFromClipboard();
  void CancelCutOrCopy();
  void FinishCutOrCopy();
  // Renders what this tree has on the clipboard there and lets its object go; the
  // most derived tree runs it first thing when it is destroyed, so that every format
  // it renders is still there.
  void FlushClipboard();
  // A clipboard object of this tree ends: when it is the tree's current one, the
  // cut/copy marks go with it (unless the tree is flushing it).
  void ClipboardObjectGone(IDataObject* object);

  // Recomputes a node's counts and heights from its children, recursively.
  void FixupTotals(PViewNode node);

  // The formats this tree offers: registered for its class and named by
  // ClipboardFormats, then what OnGetUserClipboardFormats adds.
  virtual std::vector<FORMATETC> OwnClipboardFormats();
  // Renders the tree stream of the cut/copy set (clipboard) or the selection (drag);
  // other formats are the application's (OnRenderOLEData).
  virtual HRESULT RenderOLEData(const FORMATETC& formatEtcIn, STGMEDIUM& medium, bool forClipboard);
  // A data object of this tree: OnCreateDataObject's, else the tree's own.
  platform::com::ComPtr<IDataObject> CreateDataObject(bool forClipboard);
  // The tree of this process a data object names by its reference format; nil for a
  // tree of another process, a tree that is gone, or no reference.
  static TViewTreeStreams* GetTreeFromDataObject(IDataObject* dataObject);
  std::uint32_t TreeId() const { return treeId_; }
  static TViewTreeStreams* FindLiveTree(std::uint32_t processId, std::uint32_t treeId);

  TVTSaveNodeEvent OnSaveNode;
  TVTSaveNodeEvent OnLoadNode;
  TVTGetUserClipboardFormatsEvent OnGetUserClipboardFormats;
  TVTRenderOLEDataEvent OnRenderOLEData;
  TVTCreateDataObjectEvent OnCreateDataObject;

 protected:
  virtual void WriteChunks(TStream& stream, PViewNode node);
  virtual void PatchChunkSize(TStream& stream, std::int64_t startPos, std::int64_t endPos);
  // Reads one node chunk; the chunk must end by `limit`.
  void ReadNode(TStream& stream, int version, PViewNode node, std::int64_t limit, int depth);
  // Handles one chunk whose data runs from the stream's position for chunkSize bytes
  // (checked to fit); True when understood. Derived trees add their chunk types.
  virtual bool ReadChunk(TStream& stream, int version, PViewNode node, std::uint32_t chunkType,
                         std::uint32_t chunkSize, int depth);
  // The nodes the tree would hand over: cut/copy set or selection, in tree order.
  TNodeArray TransferNodes(bool forClipboard);
  // The data object this tree last put on the clipboard (identity only).
  IDataObject* clipboardObject_ = nullptr;

 private:
  void ReadBaseChunk(TStream& stream, int version, PViewNode node, std::uint32_t chunkSize, int depth);
  void ReadUserChunk(TStream& stream, PViewNode node, std::uint32_t chunkSize);
  void DropLoadedNode(PViewNode node);
  void FreeLoadedSubtree(PViewNode node);
  void RepairLoadedNode(PViewNode node, std::uint32_t lastTotalHeight, bool wasFullyVisible);
  bool PutOnClipboard(TViewTreeStates pending);
  bool ReadOLENodes(TViewTreeStreams* source, IDataObject* dataObject, PViewNode targetNode,
                    TVTNodeAttachMode mode);
  void MoveOLENodes(TViewTreeStreams* source, PViewNode targetNode, TVTNodeAttachMode mode);

  std::uint32_t treeId_ = 0;
};
