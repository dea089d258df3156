// In-place editing of a string tree's cell: the string tree's own edit link and its
// editor window, a multi-line wide edit laid over the cell whose text area is set to
// where the cell's text sits. Enter (Ctrl+Enter in a multiline node) stores the text,
// Escape drops it, and leaving the editor does either as toAutoAcceptEditChange says.
//
// Ownership: the tree holds the link by a counted reference while the edit runs; the
// editor holds one too while it serves the edit, and drops it when the edit ends. The
// link's last release asks the editor to release itself by a posted message, so that
// neither is touched after the message that ended the edit.
#pragma once

#include <string>

#include "controls/unicode/uni_std_ctrls.h"
#include "controls/vtree/vt_edit_link.h"
#include "platform/com/unknown.h"

class TCustomViewStringTree;
class TStringEditLink;

// The editor's own notification: grow to the text, posted to itself.
inline constexpr UINT CM_AUTOADJUST = 0xB7D5;

class TVTEdit : public TUniEdit {
 public:
  explicit TVTEdit(TStringEditLink* creator);
  ~TVTEdit() override;
  std::string ClassName() const override { return "TVTEdit"; }

  // Makes the editor as wide as its text (single-line nodes only).
  virtual void AutoAdjustSize();
  // Frees the editor after the message being handled (at once without a window).
  virtual void Release();
  // Serves Link's edit: holds it counted until DropLink.
  void TakeLink(TStringEditLink* link);
  void DropLink();
  TStringEditLink* Link() const { return link_; }

 protected:
  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& message) override;

 private:
  friend class TStringEditLink;
  void KeyDownMessage(TMessage& message);
  void ExitMessage();
  void DestroyMessage();

  IVTEditLinkPtr counted_;            // keeps the link alive while the editor serves it
  TStringEditLink* link_ = nullptr;   // the same link, plain
  TStringEditLink* creator_ = nullptr;  // the link whose destructor releases the editor
};

class TStringEditLink : public platform::com::ComObject<IVTEditLink> {
 public:
  TStringEditLink();
  ~TStringEditLink() override;

  bool BeginEdit() override;
  bool CancelEdit() override;
  bool EndEdit() override;
  bool PrepareEdit(TBaseViewTree* tree, PViewNode node, TColumnIndex column) override;
  RECT GetBounds() override;
  void ProcessMessage(TMessage& message) override;
  void SetBounds(RECT r) override;

  TVTEdit* Edit() const { return edit_; }
  TCustomViewStringTree* Tree() const { return tree_; }
  PViewNode Node() const { return node_; }
  TColumnIndex Column() const { return column_; }
  TAlignment Alignment() const { return alignment_; }
  const RECT& TextBounds() const { return textBounds_; }
  // Set once the edit is being ended or cancelled; later calls answer False.
  bool Stopping() const { return stopping_; }

 private:
  friend class TVTEdit;
  TVTEdit* edit_;
  TCustomViewStringTree* tree_ = nullptr;
  PViewNode node_ = nullptr;
  TColumnIndex column_ = NoColumn;
  TAlignment alignment_ = taLeftJustify;
  RECT textBounds_{};
  bool stopping_ = false;
};
