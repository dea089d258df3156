#include "controls/vtree/vt_streams.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <mutex>

#include "controls/vtree/vt_data_object.h"
#include "platform/com/ole_clipboard.h"
#include "platform/com/stream_object.h"
#include "platform/kernel/process.h"

using platform::com::ComPtr;

namespace {

constexpr std::array<char16_t, 6> kMagic = {u'\u2045', u'V', u'T', 2, u' ', u'\u2046'};
constexpr int kStreamVersion = 2;
constexpr std::uint32_t kBodySizeV1 = 11;
constexpr std::uint32_t kBodySizeV2 = 17;
// States that describe what is going on at the moment, never what a node is.
constexpr TViewNodeStates kTransientStates =
    vsChecking | vsCutOrCopy | vsDeleting | vsInitialUserData | vsHeightMeasured;
constexpr TViewNodeStates kNeverLoaded = kTransientStates | vsClearing | vsToggling;

// Raised by a level that has dropped its half-read child and repaired its counts, so
// that the levels above keep their nodes; carries the original error.
struct TPartialNode {
  std::exception_ptr error;
};

struct TChunkHeader {
  std::uint32_t type = 0;
  std::uint32_t size = 0;
};

template <typename T>
void WriteValue(TStream& stream, T value) {
  stream.WriteBuffer(&value, sizeof value);
}

template <typename T>
T ReadValue(TStream& stream) {
  T value{};
  stream.ReadBuffer(&value, sizeof value);
  return value;
}

// Reads a chunk header inside a container ending at `limit`. A chunk that claims more
// than the container holds is read only as far as the container goes (`end`), so
// that what is there whole is kept, and then refused.
TChunkHeader ReadChunkHeader(TStream& stream, std::int64_t limit, std::int64_t& end) {
  if (limit - stream.Position() < 8) RefuseStream("chunk header beyond its container");
  TChunkHeader header;
  header.type = ReadValue<std::uint32_t>(stream);
  header.size = ReadValue<std::uint32_t>(stream);
  end = std::min<std::int64_t>(stream.Position() + header.size, limit);
  return header;
}

[[noreturn]] void RefuseCutChunk() { RefuseStream("chunk larger than its container"); }

// The user chunk as the application's handler sees it: its bytes and nothing else.
class TChunkView : public TStream {
 public:
  TChunkView(TStream& base, std::int64_t start, std::int64_t size) : base_(base), start_(start), size_(size) {}
  std::int32_t Read(void* buffer, std::int32_t count) override {
    const std::int64_t room = std::clamp<std::int64_t>(size_ - position_, 0, count);
    if (room == 0) return 0;
    base_.SetPosition(start_ + position_);
    const std::int32_t got = base_.Read(buffer, static_cast<std::int32_t>(room));
    position_ += got;
    read_ = read_ || got > 0;
    return got;
  }
  std::int32_t Write(const void*, std::int32_t) override { return 0; }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    const std::int64_t from = origin == soBeginning ? 0 : origin == soCurrent ? position_ : size_;
    const std::int64_t target = from + offset;
    if (target < 0 || target > size_) return -1;
    position_ = target;
    return position_;
  }
  std::int64_t Size() override { return size_; }
  bool AnythingRead() const { return read_; }

 private:
  TStream& base_;
  std::int64_t start_;
  std::int64_t size_;
  std::int64_t position_ = 0;
  bool read_ = false;
};

// A read-only stream over bytes in memory (data taken from a data object).
class TBytesStream : public TStream {
 public:
  explicit TBytesStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::int32_t Read(void* buffer, std::int32_t count) override {
    const std::int64_t room = std::clamp<std::int64_t>(Size() - position_, 0, count);
    if (room > 0) std::memcpy(buffer, bytes_.data() + position_, static_cast<std::size_t>(room));
    position_ += room;
    return static_cast<std::int32_t>(room);
  }
  std::int32_t Write(const void*, std::int32_t) override { return 0; }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    const std::int64_t from = origin == soBeginning ? 0 : origin == soCurrent ? position_ : Size();
    if (from + offset < 0) return -1;
    position_ = from + offset;
    return position_;
  }
  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }

 private:
  std::vector<std::uint8_t> bytes_;
  std::int64_t position_ = 0;
};

// The live trees of this process by id; ids are never reused while the process runs.
struct TLiveTrees {
  std::mutex lock;
  std::uint32_t lastId = 0;
  std::map<std::uint32_t, TViewTreeStreams*> trees;
};

TLiveTrees& LiveTrees() {
  static TLiveTrees registry;
  return registry;
}

FORMATETC TreeFormat(WORD format) { return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

// The bytes of a tree-stream medium: a 32-bit length, then that many bytes; a length
// beyond the block gives nothing.
bool StreamBytesOfBlock(HGLOBAL block, std::vector<std::uint8_t>& bytes) {
  bytes = platform::com::BytesOfBlock(block);
  if (bytes.size() < 4) return false;
  std::uint32_t length = 0;
  std::memcpy(&length, bytes.data(), 4);
  if (length > bytes.size() - 4) return false;
  bytes.erase(bytes.begin(), bytes.begin() + 4);
  bytes.resize(length);
  return true;
}

// The bytes of a stream object, read from where it stands to its end.
bool StreamBytesOfStream(IUnknown* object, std::vector<std::uint8_t>& bytes) {
  ComPtr<IStream> stream = ComPtr<IUnknown>(object).As<IStream>();
  if (!stream) return false;
  std::uint8_t chunk[65536];
  for (;;) {
    ULONG read = 0;
    if (FAILED(stream->Read(chunk, sizeof chunk, &read))) return false;
    bytes.insert(bytes.end(), chunk, chunk + read);
    if (read < sizeof chunk) return true;
  }
}

// A stream object holding the bytes, at its start, as the medium.
HRESULT StreamMedium(const std::vector<std::uint8_t>& bytes, STGMEDIUM& medium) {
  ComPtr<IStream> stream;
  HRESULT result = CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
  if (SUCCEEDED(result)) result = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
  if (SUCCEEDED(result)) result = stream->Seek(LARGE_INTEGER{0}, STREAM_SEEK_SET, nullptr);
  if (FAILED(result)) return result;
  medium.tymed = TYMED_ISTREAM;
  medium.pUnk = stream.Detach();
  return S_OK;
}

// The tree stream a medium carries: a stream object's bytes, or a global block's.
bool StreamBytesOfMedium(const STGMEDIUM& medium, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  if (medium.tymed == TYMED_ISTREAM) return StreamBytesOfStream(medium.pUnk, bytes);
  return medium.tymed == TYMED_HGLOBAL && StreamBytesOfBlock(medium.hGlobal, bytes);
}

}  // namespace

TViewTreeStreams::TViewTreeStreams(TComponent* owner, const TTreeClass& treeClass, TOptionsFactory makeOptions)
    : TViewTreeChecks(owner, treeClass, makeOptions) {
  std::lock_guard guard(LiveTrees().lock);
  treeId_ = ++LiveTrees().lastId;
  LiveTrees().trees.emplace(treeId_, this);
}

TViewTreeStreams::~TViewTreeStreams() {
  FlushClipboard();
  std::lock_guard guard(LiveTrees().lock);
  LiveTrees().trees.erase(treeId_);
}

void TViewTreeStreams::FlushClipboard() {
  if (clipboardObject_ == nullptr) return;
  if (OleIsCurrentClipboard(clipboardObject_) == S_OK) {
    DoStateChange(tsClipboardFlushing);
    OleFlushClipboard();
    DoStateChange(0, tsClipboardFlushing);
  }
  clipboardObject_ = nullptr;
}

void TViewTreeStreams::ClipboardObjectGone(IDataObject* object) {
  if (object != clipboardObject_) return;
  clipboardObject_ = nullptr;
  if (!InState(tsClipboardFlushing)) CancelCutOrCopy();
}

TViewTreeStreams* TViewTreeStreams::FindLiveTree(std::uint32_t processId, std::uint32_t treeId) {
  if (processId != GetCurrentProcessId()) return nullptr;
  std::lock_guard guard(LiveTrees().lock);
  auto it = LiveTrees().trees.find(treeId);
  return it == LiveTrees().trees.end() ? nullptr : it->second;
}

// --- writing ---

void TViewTreeStreams::SaveToStream(TStream& stream, PViewNode node) {
  stream.WriteBuffer(kMagic.data(), sizeof kMagic);
  WriteValue<std::uint32_t>(stream, node != nullptr ? 1 : root_->ChildCount);
  if (node != nullptr) {
    WriteNode(stream, node);
    return;
  }
  for (PViewNode child = root_->FirstChild; child != nullptr; child = child->NextSibling) WriteNode(stream, child);
}

void TViewTreeStreams::WriteNode(TStream& stream, PViewNode node) {
  if ((TreeOptions().MiscOptions() & toInitOnSave) != 0 && !node->Has(vsInitialized)) {
    InitNode(node);
    EnsureChildren(node);
  }
  const std::int64_t start = stream.Position();
  WriteValue<std::uint32_t>(stream, NodeChunk);
  WriteValue<std::uint32_t>(stream, 0);
  WriteChunks(stream, node);
  PatchChunkSize(stream, start, stream.Position());
}

void TViewTreeStreams::WriteChunks(TStream& stream, PViewNode node) {
  const std::int64_t start = stream.Position();
  WriteValue<std::uint32_t>(stream, BaseChunk);
  WriteValue<std::uint32_t>(stream, 0);
  // Children that are not written are not counted, so the stream reads back whole.
  const bool withChildren = node->Has(vsInitialized);
  WriteValue<std::uint32_t>(stream, withChildren ? node->ChildCount : 0);
  WriteValue<std::uint32_t>(stream, node->NodeHeight);
  WriteValue<std::uint16_t>(stream, static_cast<std::uint16_t>(node->States & ~kTransientStates));
  WriteValue<std::uint8_t>(stream, node->Align);
  WriteValue<std::uint8_t>(stream, node->CheckState);
  WriteValue<std::uint8_t>(stream, node->CheckType);
  WriteValue<std::uint32_t>(stream, 0);
  if (withChildren) {
    for (PViewNode child = node->FirstChild; child != nullptr; child = child->NextSibling) WriteNode(stream, child);
  }
  PatchChunkSize(stream, start, stream.Position());

  const std::int64_t userStart = stream.Position();
  WriteValue<std::uint32_t>(stream, UserChunk);
  WriteValue<std::uint32_t>(stream, 0);
  if (OnSaveNode) OnSaveNode(this, node, stream);
  if (stream.Position() == userStart + 8) {
    stream.SetPosition(userStart);
    stream.SetSize(stream.Size() - 8);
  } else {
    PatchChunkSize(stream, userStart, stream.Position());
  }
}

void TViewTreeStreams::PatchChunkSize(TStream& stream, std::int64_t startPos, std::int64_t endPos) {
  stream.SetPosition(startPos + 4);
  WriteValue<std::uint32_t>(stream, static_cast<std::uint32_t>(endPos - startPos - 8));
  stream.SetPosition(endPos);
}

// --- reading ---

void TViewTreeStreams::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TViewTreeStreams::LoadFromStream(TStream& stream) {
  if (IsReadOnly()) return;
  Clear();
  std::array<char16_t, 6> magic{};
  if (stream.Read(magic.data(), sizeof magic) < static_cast<std::int32_t>(sizeof magic)) {
    ShowError(u"Unable to load tree structure, not enough data available.", 2004);
  }
  if (magic[0] != kMagic[0] || magic[1] != kMagic[1] || magic[2] != kMagic[2] || magic[5] != kMagic[5]) {
    ShowError(u"Unable to load tree structure, the format is wrong.", 2002);
  }
  const int version = magic[3];
  if (version > kStreamVersion) ShowError(u"Unable to load tree structure, the version is unknown.", 2003);
  BeginUpdate();
  try {
    std::uint64_t count = version == 1 ? UINT64_MAX : ReadValue<std::uint32_t>(stream);
    for (; count > 0 && stream.Position() < stream.Size(); --count) {
      PViewNode node = MakeNewNode();
      LinkNode(node, root_, amAddChildLast);
      InternalAddFromStream(stream, version, node);
    }
    DoNodeCopied(nullptr);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TViewTreeStreams::InternalAddFromStream(TStream& stream, int version, PViewNode node) {
  const std::uint32_t lastTotalHeight = node->TotalHeight;
  const bool wasFullyVisible = FullyVisible(node);
  try {
    ReadNode(stream, version, node, stream.Size(), 0);
  } catch (const TPartialNode& partial) {
    RepairLoadedNode(node, lastTotalHeight, wasFullyVisible);
    std::rethrow_exception(partial.error);
  } catch (...) {
    for (PViewNode child = node->FirstChild; child != nullptr;) {
      PViewNode next = child->NextSibling;
      FreeLoadedSubtree(child);
      child = next;
    }
    node->ChildCount = 0;
    node->FirstChild = node->LastChild = nullptr;
    RepairLoadedNode(node, lastTotalHeight, wasFullyVisible);
    DeleteNode(node);
    throw;
  }
  RepairLoadedNode(node, lastTotalHeight, wasFullyVisible);
}

void TViewTreeStreams::RepairLoadedNode(PViewNode node, std::uint32_t lastTotalHeight, bool wasFullyVisible) {
  PViewNode parent = node->Parent;
  const std::uint32_t lastTotalCount = node->TotalCount;
  FixupTotals(node);
  AdjustTotalCount(parent, static_cast<std::int64_t>(node->TotalCount) - lastTotalCount);
  if (parent->Has(vsExpanded)) {
    const std::int64_t before = wasFullyVisible || parent == root_ ? lastTotalHeight : 0;
    const std::int64_t after = node->Has(vsVisible) ? node->TotalHeight : 0;
    AdjustTotalHeight(parent, after - before);
  }
  if (FullyVisible(node)) {
    visibleCount_ += VisibleChildCount(node) + (wasFullyVisible ? 0 : 1);
  } else if (wasFullyVisible) {
    --visibleCount_;
  }
  // The loaded subtree's selection flags meet the selection array.
  const bool multi = (TreeOptions().SelectionOptions() & toMultiSelect) != 0;
  TNodeArray selected;
  PViewNode stop = node->NextSibling;
  for (PViewNode walk = node; walk != nullptr && walk != stop;) {
    if (walk->Has(vsSelected)) {
      if (multi) {
        selected.push_back(walk);
      } else {
        walk->Exclude(vsSelected);
      }
    }
    if (walk->FirstChild != nullptr) {
      walk = walk->FirstChild;
      continue;
    }
    while (walk != node && walk->NextSibling == nullptr) walk = walk->Parent;
    walk = walk == node ? nullptr : walk->NextSibling;
  }
  if (!selected.empty()) InternalAddNodesToSelection(selected, true);
  InvalidateCache();
}

void TViewTreeStreams::FixupTotals(PViewNode node) {
  if (node == nullptr) node = root_;
  std::uint32_t count = 1, height = node->NodeHeight;
  for (PViewNode child = node->FirstChild; child != nullptr; child = child->NextSibling) {
    FixupTotals(child);
    count += child->TotalCount;
    if (node->Has(vsExpanded) && child->Has(vsVisible)) height += child->TotalHeight;
  }
  node->TotalCount = count;
  node->TotalHeight = height;
}

// Errors after the node's base chunk was read whole keep the node: they surface as
// TPartialNode, so only nodes whose own fields are incomplete are dropped.
void TViewTreeStreams::ReadNode(TStream& stream, int version, PViewNode node, std::int64_t limit, int depth) {
  if (depth > MaxStreamDepth) RefuseStream("nodes nested too deep");
  std::int64_t end = 0;
  const TChunkHeader header = ReadChunkHeader(stream, limit, end);
  if (header.type != NodeChunk) ShowError(u"Stream data corrupt. A node's anchor chunk is missing.", 2005);
  const bool cut = end - stream.Position() < header.size;
  bool baseRead = false;
  try {
    while (stream.Position() < end) {
      std::int64_t chunkEnd = 0;
      const TChunkHeader chunk = ReadChunkHeader(stream, end, chunkEnd);
      const bool chunkCut = chunkEnd - stream.Position() < chunk.size;
      if (chunkCut && chunk.type != BaseChunk) RefuseCutChunk();
      // A second base chunk would lay new children over those of the first.
      if (chunk.type == BaseChunk && baseRead) RefuseStream("a node with two base chunks");
      ReadChunk(stream, version, node, chunk.type, static_cast<std::uint32_t>(chunkEnd - stream.Position()), depth);
      if (chunk.type == BaseChunk) {
        baseRead = true;
        if (chunkCut) RefuseCutChunk();
      }
    }
    if (cut) RefuseCutChunk();
    if (stream.Position() != end) {
      ShowError(u"Stream data corrupt. Unexpected data after node's end position.", 2006);
    }
  } catch (const TPartialNode&) {
    throw;
  } catch (...) {
    if (!baseRead) throw;
    throw TPartialNode{std::current_exception()};
  }
}

bool TViewTreeStreams::ReadChunk(TStream& stream, int version, PViewNode node, std::uint32_t chunkType,
                                 std::uint32_t chunkSize, int depth) {
  switch (chunkType) {
    case BaseChunk:
      ReadBaseChunk(stream, version, node, chunkSize, depth);
      return true;
    case UserChunk:
      if (chunkSize == 0) return true;
      ReadUserChunk(stream, node, chunkSize);
      return true;
    default:
      stream.Seek(chunkSize, soCurrent);
      return false;
  }
}

void TViewTreeStreams::ReadBaseChunk(TStream& stream, int version, PViewNode node, std::uint32_t chunkSize,
                                     int depth) {
  const std::uint32_t bodySize = version == 1 ? kBodySizeV1 : kBodySizeV2;
  if (chunkSize < bodySize) RefuseStream("node body cut short");
  const std::int64_t end = stream.Position() + chunkSize;
  std::array<std::uint8_t, kBodySizeV2> body{};
  stream.ReadBuffer(body.data(), static_cast<std::int32_t>(bodySize));
  std::uint32_t childCount = 0, nodeHeight = 0;
  std::memcpy(&childCount, body.data(), 4);
  std::memcpy(&nodeHeight, body.data() + 4, 4);
  TViewNodeStates states = 0;
  std::size_t at = 8;
  if (version == 1) {
    const std::uint8_t low = body[at++];
    states = static_cast<TViewNodeStates>(low | vsVisible | ((low & 0x80) != 0 ? vsSelected : 0));
  } else {
    std::memcpy(&states, body.data() + at, 2);
    at += 2;
  }
  // Each child needs at least its node header, base header and body; more children
  // than the bytes can hold are not made.
  const std::uint32_t fitting = (chunkSize - bodySize) / (16 + bodySize);
  node->States = static_cast<TViewNodeStates>(states & ~kNeverLoaded);
  node->NodeHeight = static_cast<std::uint16_t>(std::min<std::uint32_t>(nodeHeight, UINT16_MAX));
  node->TotalHeight = node->NodeHeight;
  node->Align = body[at];
  node->CheckState = body[at + 1] <= csMixedPressed ? static_cast<TCheckState>(body[at + 1]) : csUncheckedNormal;
  node->CheckType = body[at + 2] <= ctButton ? static_cast<TCheckType>(body[at + 2]) : ctNone;
  node->ChildCount = 0;
  for (std::uint32_t i = 0; i < std::min(childCount, fitting); ++i) {
    PViewNode child = MakeNewNode();
    child->Parent = node;
    child->PrevSibling = node->LastChild;
    child->Index = node->LastChild != nullptr ? node->LastChild->Index + 1 : 0;
    if (node->LastChild != nullptr) {
      node->LastChild->NextSibling = child;
    } else {
      node->FirstChild = child;
    }
    node->LastChild = child;
    ++node->ChildCount;
    try {
      ReadNode(stream, version, child, end, depth + 1);
    } catch (const TPartialNode&) {
      throw;
    } catch (...) {
      node->LastChild = child->PrevSibling;
      if (child->PrevSibling != nullptr) {
        child->PrevSibling->NextSibling = nullptr;
      } else {
        node->FirstChild = nullptr;
      }
      --node->ChildCount;
      FreeLoadedSubtree(child);
      throw TPartialNode{std::current_exception()};
    }
  }
  if (childCount > fitting) {
    try {
      RefuseStream("more children than the data holds");
    } catch (const EReadError&) {
      throw TPartialNode{std::current_exception()};
    }
  }
}

void TViewTreeStreams::ReadUserChunk(TStream& stream, PViewNode node, std::uint32_t chunkSize) {
  const std::int64_t start = stream.Position();
  TChunkView view(stream, start, chunkSize);
  if (OnLoadNode) OnLoadNode(this, node, view);
  stream.SetPosition(start + chunkSize);
}

void TViewTreeStreams::FreeLoadedSubtree(PViewNode node) {
  for (PViewNode child = node->FirstChild; child != nullptr;) {
    PViewNode next = child->NextSibling;
    FreeLoadedSubtree(child);
    child = next;
  }
  node->Exclude(vsSelected);
  DoFreeNode(node);
}

void TViewTreeStreams::SkipNodeChunk(TStream& stream) {
  std::int64_t end = 0;
  const TChunkHeader header = ReadChunkHeader(stream, stream.Size(), end);
  if (header.type != NodeChunk) ShowError(u"Stream data corrupt. A node's anchor chunk is missing.", 2005);
  if (end - stream.Position() < header.size) RefuseCutChunk();
  stream.SetPosition(end);
}

// --- data objects and the clipboard ---

std::vector<FORMATETC> TViewTreeStreams::OwnClipboardFormats() {
  std::vector<FORMATETC> formats;
  if (TClipboardFormatList* list = ::ClipboardFormatList()) {
    formats = list->EnumerateFormats(&TreeClass(), &ClipboardFormats().Names());
  }
  if (OnGetUserClipboardFormats) OnGetUserClipboardFormats(this, formats);
  return formats;
}

TNodeArray TViewTreeStreams::TransferNodes(bool forClipboard) {
  // A node's stream holds its subtree: a marked descendant is not written again.
  return forClipboard ? GetSortedCutCopySet(true) : GetSortedSelection(true);
}

HRESULT TViewTreeStreams::RenderOLEData(const FORMATETC& formatEtcIn, STGMEDIUM& medium, bool forClipboard) {
  medium = STGMEDIUM{};
  if (formatEtcIn.cfFormat == TreeGlobals().CF_VIRTUALTREE) {
    if ((formatEtcIn.tymed & (TYMED_ISTREAM | TYMED_HGLOBAL)) == 0) return DV_E_TYMED;
    TMemoryStream stream;
    for (PViewNode node : TransferNodes(forClipboard)) WriteNode(stream, node);
    if (stream.Size() == 0) return E_FAIL;
    const std::vector<std::uint8_t>& bytes = stream.Memory();
    if (formatEtcIn.tymed & TYMED_ISTREAM) return StreamMedium(bytes, medium);
    std::vector<std::uint8_t> block(4 + bytes.size());
    const auto length = static_cast<std::uint32_t>(bytes.size());
    std::memcpy(block.data(), &length, 4);
    std::memcpy(block.data() + 4, bytes.data(), length);
    medium.hGlobal = platform::com::NewBlock(block.data(), block.size());
    if (medium.hGlobal == nullptr) return E_OUTOFMEMORY;
    medium.tymed = TYMED_HGLOBAL;
    return S_OK;
  }
  HRESULT result = DV_E_FORMATETC;
  if (OnRenderOLEData) OnRenderOLEData(this, formatEtcIn, medium, forClipboard, result);
  return result;
}

ComPtr<IDataObject> TViewTreeStreams::CreateDataObject(bool forClipboard) {
  ComPtr<IDataObject> object;
  if (OnCreateDataObject) OnCreateDataObject(this, object);
  if (!object) object = ComPtr<IDataObject>(platform::com::MakeComObject<TVTDataObject>(*this, forClipboard).get());
  return object;
}

TViewTreeStreams* TViewTreeStreams::GetTreeFromDataObject(IDataObject* dataObject) {
  if (dataObject == nullptr) return nullptr;
  FORMATETC format = TreeFormat(TreeGlobals().CF_VTREFERENCE);
  STGMEDIUM medium;
  if (dataObject->GetData(&format, &medium) != S_OK) return nullptr;
  std::vector<std::uint8_t> bytes =
      medium.tymed == TYMED_HGLOBAL ? platform::com::BytesOfBlock(medium.hGlobal) : std::vector<std::uint8_t>{};
  ReleaseStgMedium(&medium);
  if (bytes.size() < 8) return nullptr;
  std::uint32_t processId = 0, treeId = 0;
  std::memcpy(&processId, bytes.data(), 4);
  std::memcpy(&treeId, bytes.data() + 4, 4);
  return FindLiveTree(processId, treeId);
}

bool TViewTreeStreams::ProcessOLEData(TViewTreeStreams* source, IDataObject* dataObject, PViewNode targetNode,
                                      TVTNodeAttachMode mode, bool optimized) {
  FORMATETC format = TreeFormat(TreeGlobals().CF_VIRTUALTREE);
  if (dataObject == nullptr || IsReadOnly() || dataObject->QueryGetData(&format) != S_OK) return false;
  if (targetNode == nullptr) targetNode = root_;
  if (targetNode == root_) {
    if (mode == amInsertBefore) mode = amAddChildFirst;
    if (mode == amInsertAfter) mode = amAddChildLast;
  }
  bool result = true;
  BeginUpdate();
  try {
    if (optimized && source != nullptr) {
      MoveOLENodes(source, targetNode, mode);
    } else {
      result = ReadOLENodes(source, dataObject, targetNode, mode);
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  return result;
}

void TViewTreeStreams::MoveOLENodes(TViewTreeStreams* source, PViewNode targetNode, TVTNodeAttachMode mode) {
  TNodeArray nodes =
      source->InState(tsOLEDragging) ? source->dragSelection_ : source->GetSortedCutCopySet(true);
  const bool forward = mode == amInsertBefore || mode == amAddChildLast;
  if (!forward) std::reverse(nodes.begin(), nodes.end());
  for (PViewNode node : nodes) {
    if (node == targetNode || HasAsParent(targetNode, node)) continue;
    if (source == this) {
      MoveNode(node, targetNode, mode, false);
      // A node the drop moved is no longer the drag's to delete afterwards.
      std::erase(dragSelection_, node);
    } else {
      // Into another tree the node travels as a stream and leaves its tree.
      TMemoryStream stream;
      source->WriteNode(stream, node);
      stream.SetPosition(0);
      PViewNode copy = MakeNewNode();
      LinkNode(copy, targetNode, mode);
      InternalAddFromStream(stream, kStreamVersion, copy);
      source->DeleteNode(node);
    }
  }
}

bool TViewTreeStreams::ReadOLENodes(TViewTreeStreams* source, IDataObject* dataObject, PViewNode targetNode,
                                    TVTNodeAttachMode mode) {
  FORMATETC format = TreeFormat(TreeGlobals().CF_VIRTUALTREE);
  format.tymed = TYMED_ISTREAM | TYMED_HGLOBAL;
  STGMEDIUM medium;
  if (dataObject->GetData(&format, &medium) != S_OK) return false;
  std::vector<std::uint8_t> bytes;
  const bool readable = StreamBytesOfMedium(medium, bytes);
  ReleaseStgMedium(&medium);
  if (!readable) return false;
  TBytesStream stream(std::move(bytes));
  while (stream.Position() < stream.Size()) {
    PViewNode node = MakeNewNode();
    LinkNode(node, targetNode, mode);
    InternalAddFromStream(stream, kStreamVersion, node);
    if (!DoNodeCopying(node, targetNode == root_ ? nullptr : targetNode)) {
      DeleteNode(node);
      continue;
    }
    DoNodeCopied(node);
    StructureChange(node, source == this ? crNodeCopied : crNodeAdded);
    if (mode == amInsertAfter) targetNode = node;
  }
  return true;
}

bool TViewTreeStreams::PutOnClipboard(TViewTreeStates pending) {
  if (selection_.empty()) return false;
  ComPtr<IDataObject> object = CreateDataObject(true);
  if (OleSetClipboard(object.get()) != S_OK) return false;
  clipboardObject_ = object.get();
  // The previous marks went with the previous clipboard object.
  for (PViewNode node : GetSortedSelection(false)) {
    if (!node->Has(vsDisabled)) node->Include(vsCutOrCopy);
  }
  DoStateChange(pending, pending == tsCutPending ? tsCopyPending : tsCutPending);
  InvalidateTree();
  return true;
}

bool TViewTreeStreams::CopyToClipboard() { return PutOnClipboard(tsCopyPending); }

bool TViewTreeStreams::CutToClipboard() { return !IsReadOnly() && PutOnClipboard(tsCutPending); }

bool TViewTreeStreams::PasteFromClipboard() {
  if (IsReadOnly()) return false;
  ComPtr<IDataObject> data;
  if (OleGetClipboard(data.Put()) != S_OK || !data) ShowError(u"Clipboard operation failed.", 2007);
  TViewTreeStreams* source = GetTreeFromDataObject(data.get());
  const bool result = ProcessOLEData(source, data.get(), FocusedNode(), DefaultPasteMode(),
                                     source != nullptr && source->InState(tsCutPending));
  if (source == this) {
    DoStateChange(0, tsCutPending);
  } else if (source != nullptr) {
    source->FinishCutOrCopy();
  }
  return result;
}

void TViewTreeStreams::CancelCutOrCopy() {
  if (!InState(tsCutPending | tsCopyPending)) return;
  for (PViewNode node : GetSortedCutCopySet(false)) node->Exclude(vsCutOrCopy);
  DoStateChange(0, tsCutPending | tsCopyPending);
  InvalidateTree();
}

void TViewTreeStreams::FinishCutOrCopy() {
  if (!InState(tsCutPending)) return;
  TNodeArray marked = GetSortedCutCopySet(true);
  BeginUpdate();
  try {
    for (PViewNode node : marked) DeleteNode(node);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  DoStateChange(0, tsCutPending);
}
