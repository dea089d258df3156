// The edit link: the one way the tree talks to an in-place editor, so an application
// can bring its own editor. Counted like the program's other interfaces: the tree holds
// a ComPtr while an edit runs and lets it go when the edit ends.
#pragma once

#include "controls/vtree/vt_nodes.h"
#include "platform/base/types.h"
#include "platform/classlib/controls.h"
#include "platform/com/unknown.h"

class TBaseViewTree;

inline constexpr IID IID_IVTEditLink = {0x2BE3EAFA, 0x5ACB, 0x45B4,
                                        {0x9D, 0x9A, 0xB5, 0x8D, 0xCC, 0xAE, 0x0F, 0x4A}};

struct IVTEditLink : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IVTEditLink;
  // Shows the editor and gives it the focus.
  virtual bool BeginEdit() = 0;
  // Drops the editor without storing its text.
  virtual bool CancelEdit() = 0;
  // Stores the text and drops the editor.
  virtual bool EndEdit() = 0;
  // Binds the link to a cell and fills the editor; false when it cannot edit there.
  virtual bool PrepareEdit(TBaseViewTree* tree, PViewNode node, TColumnIndex column) = 0;
  virtual RECT GetBounds() = 0;
  // Hands a window message to the editor.
  virtual void ProcessMessage(TMessage& message) = 0;
  virtual void SetBounds(RECT r) = 0;

 protected:
  ~IVTEditLink() = default;
};

using IVTEditLinkPtr = platform::com::ComPtr<IVTEditLink>;
