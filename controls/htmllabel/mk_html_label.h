// The HTML label: a graphic control that shows a short text in a small HTML subset
// (bold, italic, underline, strike-out, FONT colours, line breaks, paragraphs, links
// and caller-filled DYNAMIC tags), wrapped to its width. Its 8-bit Caption is parsed
// into a node tree once per change; every paint lays the tree out again from the
// cached word widths. Links light up under the mouse and report their clicks.
//
// The label's Caption is its own HTML source; the class library's caption (SetText)
// only repaints. Under AutoHeight (with Align alNone, alTop or alBottom) a paint sets
// the height to fit the text; the new height invalidates the label for the next
// paint, it does not lay the text out again inside the running one.
//
// Ownership: the label owns its tree and its renderer; ActiveLink points into the
// tree and is cleared whenever the tree is replaced.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "controls/htmllabel/mk_html_renderer.h"
#include "controls/htmllabel/mk_node_tree.h"
#include "platform/classlib/controls.h"

using TLinkClickEvent =
    std::function<void(TObject* sender, const std::u16string& linkHref, const std::u16string& linkText)>;
using TDynamicTagInitEvent = std::function<void(TObject* sender, const std::u16string& id, std::string& source)>;

class TMkCustomHtmlLabel : public TGraphicControl, public IDynamicNodeHandler {
 public:
  explicit TMkCustomHtmlLabel(TComponent* owner);
  ~TMkCustomHtmlLabel() override;
  std::string ClassName() const override { return "TMkCustomHtmlLabel"; }

  // The HTML source. A different text is parsed into a new tree and repainted.
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);

  bool AutoHeight() const { return autoHeight_; }
  void SetAutoHeight(bool value);
  bool HotLinks = true;
  TColor LinkColor() const { return renderer_->LinkColor; }
  void SetLinkColor(TColor value);
  TColor LinkColorClicked() const { return renderer_->LinkColorClicked; }
  void SetLinkColorClicked(TColor value);
  TColor LinkColorHot() const { return renderer_->LinkColorHot; }
  void SetLinkColorHot(TColor value);
  TFontStyles LinkStyle() const { return renderer_->LinkStyle; }
  void SetLinkStyle(TFontStyles value);
  std::int32_t MarginHeight() const { return marginHeight_; }
  void SetMarginHeight(std::int32_t value);
  std::int32_t MarginWidth() const { return marginWidth_; }
  void SetMarginWidth(std::int32_t value);
  std::int32_t OffsetY() const { return renderer_->OffsetY; }
  void SetOffsetY(std::int32_t value);
  // Transparent exactly when the opaque control-style flag is clear.
  bool Transparent() const { return (ControlStyle & csOpaque) == 0; }
  void SetTransparent(bool value);
  bool TransparentSet() const { return transparentSet_; }

  TLinkClickEvent OnLinkClick;
  TDynamicTagInitEvent OnDynamicTagInit;
  TNotifyEvent OnAfterPaint;

  const RECT& TextRect() const { return textRect_; }
  TNodeTree* NodeTree() const { return nodeTree_.get(); }
  TMkHtmlRenderer& Renderer() const { return *renderer_; }
  TLinkNode* ActiveLink() const { return activeLink_; }
  TCursor NormalCursor() const { return normalCursor_; }

  void SetBounds(int left, int top, int width, int height) override;
  void Loaded() override;
  void Dispatch(TMessage& message) override;
  void GetDynamicSource(TDynamicNode& node, std::string& source) override;

 protected:
  void Paint() override;
  virtual void DoLinkClick(const std::u16string& linkHref, const std::u16string& linkText);
  virtual void DoDynamicTagInit(const std::u16string& id, std::string& source);
  virtual void MouseDown(POINT point);
  virtual void MouseMove(POINT point);
  virtual void MouseUp(POINT point);

 private:
  void UpdateTextRect();
  void UpdateRootFont();
  void FontChanged();
  void MouseLeft();
  bool OverLink(POINT point) const;
  bool LinkPressed() const;
  void SetLinkState(POINT point, std::uint8_t state);
  void ResetActiveLink();
  // Draws one link at once on the parent's window, in the colour of its state.
  void RepaintLink(TLinkNode& link);
  // Sets a renderer value and repaints when it changes.
  template <typename T>
  void SetRendererValue(T& field, T value);

  std::string caption_;
  std::unique_ptr<TMkHtmlRenderer> renderer_;
  TLinkNode* activeLink_ = nullptr;
  RECT textRect_{};
  bool autoHeight_ = true;
  std::int32_t marginWidth_ = 0;
  std::int32_t marginHeight_ = 0;
  TCursor normalCursor_ = crDefault;
  bool transparentSet_ = false;
  std::unique_ptr<TNodeTree> nodeTree_;
  bool painting_ = false;
};

class TMkHtmlLabel : public TMkCustomHtmlLabel {
 public:
  using TMkCustomHtmlLabel::TMkCustomHtmlLabel;
  std::string ClassName() const override { return "TMkHtmlLabel"; }
};
