#include "platform/browser/chromium_browser.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>

#include "platform/base/state_root.h"
#include "platform/base/text.h"
#include "platform/browser/html_element.h"
#include "platform/browser/html_rules.h"
#include "platform/browser/in_process_browser.h"
#include "platform/win/window.h"

namespace platform::browser {

using platform::com::ComPtr;
using platform::com::MakeComObject;
using platform::com::Variant;

namespace {

constexpr char kWorld[] = "pellix";
constexpr char kBinding[] = "pellixEvent";
constexpr std::chrono::seconds kOpenTimeout{20};
constexpr std::chrono::seconds kLoadTimeout{30};

// The program's side in each frame's isolated world. snapshot() lists the document's
// elements and texts in document order (with attributes, values, selection and form
// owners) and counts a new generation whenever the structure changed; apply() and
// send() act on an element of the current generation only. Submits and context menus
// are reported through the binding with a snapshot of their own (only those the user
// made: events a page script dispatches are not reported); a submit the page did not
// handle itself waits for the program's answer before it is sent. The top frame also
// reports when its page starts or stops being seen (another tab in front, the window
// minimised).
constexpr char kPageScript[] = R"JS((() => {
  if (globalThis.__pellix) return;
  const token = TOKEN;
  const controls = new Set(['input', 'select', 'textarea', 'button']);
  let elements = [], signature = '', generation = 0, passing = null;
  const snapshot = () => {
    const list = [], at = new Map(), entries = [], shape = [], owned = [];
    const root = document.documentElement;
    if (root) {
      const walker = document.createTreeWalker(root, NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT);
      for (let node = root; node; node = walker.nextNode()) {
        const up = node.parentElement, p = up && at.has(up) ? at.get(up) : -1;
        if (node.nodeType === 3) { entries.push({x: node.data, p}); shape.push('#' + p); continue; }
        at.set(node, list.length);
        list.push(node);
        shape.push(node.localName + p);
        const entry = {e: node.localName, p, a: Array.from(node.attributes, a => [a.name, a.value])};
        if (controls.has(node.localName)) owned.push([entry, node.form]);
        if (node.localName === 'input') {
          entry.v = node.value;
          entry.d = node.type !== 'checkbox' && node.type !== 'radio' && node.value !== (node.getAttribute('value') ?? '');
        }
        if (node.localName === 'option') entry.s = node.selected;
        entries.push(entry);
      }
    }
    // A control's form may come after it (a form attribute names a later one).
    for (const [entry, form] of owned) entry.f = form && at.has(form) ? at.get(form) : -1;
    const joined = shape.join(',');
    if (joined !== signature) { signature = joined; generation++; }
    elements = list;
    return {g: generation, u: document.URL, n: entries};
  };
  const current = (g, i) => g === generation && elements[i] && elements[i].isConnected ? elements[i] : null;
  const apply = (g, i, state) => {
    const e = current(g, i);
    if (!e) return false;
    const keep = new Set(state.a.map(([n]) => n.toLowerCase()));
    for (const name of e.getAttributeNames()) if (!keep.has(name)) e.removeAttribute(name);
    for (const [n, v] of state.a) { try { e.setAttribute(n, v); } catch (_) {} }
    if ('v' in state) e.value = state.v;
    if ('s' in state) e.selected = state.s;
    if ('x' in state) e.selectedIndex = state.x;
    if ('v' in state || 'x' in state) {
      e.dispatchEvent(new Event('input', {bubbles: true}));
      e.dispatchEvent(new Event('change', {bubbles: true}));
    }
    return true;
  };
  const send = (g, i, submitter) => {
    const form = current(g, i);
    if (!form || form.localName !== 'form') return false;
    if (submitter) {
      const field = document.createElement('input');
      field.type = 'hidden'; field.name = submitter[0]; field.value = submitter[1];
      form.appendChild(field);
    }
    passing = form;
    HTMLFormElement.prototype.submit.call(form);
    return true;
  };
  const report = (kind, target, extra) => {
    const s = snapshot(), i = elements.indexOf(target);
    if (i >= 0) globalThis[BINDING](JSON.stringify(Object.assign({t: token, k: kind, i, s}, extra)));
  };
  addEventListener('submit', ev => {
    if (!ev.isTrusted) return;
    if (ev.target === passing) { passing = null; return; }
    const handled = ev.defaultPrevented;
    if (!handled) ev.preventDefault();
    const b = ev.submitter && ev.submitter.name ? [ev.submitter.name, ev.submitter.value] : null;
    report('submit', ev.target, {h: handled, b});
  });
  addEventListener('contextmenu', ev => { if (ev.isTrusted) report('contextmenu', ev.target, {}); }, true);
  if (window === top) {
    const seen = () => globalThis[BINDING](JSON.stringify({t: token, k: 'seen', v: document.visibilityState === 'visible'}));
    document.addEventListener('visibilitychange', ev => { if (ev.isTrusted) seen(); });
    if (document.visibilityState !== 'visible') seen();
  }
  globalThis.__pellix = {snapshot, apply, send};
})();)JS";

std::string Replace(std::string text, const std::string& what, const std::string& with) {
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
  return text;
}

std::string NewToken() {
  std::random_device random;
  std::string token;
  for (int i = 0; i < 4; ++i) {
    char piece[9];
    std::snprintf(piece, sizeof piece, "%08x", static_cast<unsigned>(random()));
    token += piece;
  }
  return token;
}

// Reading what the browser sent (outside input): a missing or mistyped field reads as
// the fallback, never throws.
std::string TextField(const Json& object, const char* key) {
  if (!object.is_object()) return {};
  auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

std::int64_t IntField(const Json& object, const char* key, std::int64_t fallback) {
  if (!object.is_object()) return fallback;
  auto found = object.find(key);
  return found != object.end() && found->is_number_integer() ? found->get<std::int64_t>() : fallback;
}

bool BoolField(const Json& object, const char* key) {
  if (!object.is_object()) return false;
  auto found = object.find(key);
  return found != object.end() && found->is_boolean() && found->get<bool>();
}

const Json& ObjectField(const Json& object, const char* key) {
  static const Json kNone = Json::object();
  if (!object.is_object()) return kNone;
  auto found = object.find(key);
  return found != object.end() ? *found : kNone;
}

std::u16string Wide(const std::string& text) { return Utf8ToWide(text); }
std::string Narrow(std::u16string_view text) { return WideToUtf8(text); }

// A page's tree as the snapshot gives it: the document, its generation, and its nodes
// in the snapshot's order.
struct Mirror {
  ComPtr<HtmlDocument> document;
  std::int64_t generation = -1;
  std::vector<Node*> nodes;
};

// Sets an element's state from its snapshot entry. An attribute whose text did not
// change keeps the value the program wrote, with its type.
void ApplyEntry(const Json& entry, Node& node, const std::vector<Node*>& elements) {
  std::vector<Attribute> attributes;
  const Json& written = ObjectField(entry, "a");
  if (written.is_array()) {
    for (const Json& pair : written) {
      if (!pair.is_array() || pair.size() != 2 || !pair[0].is_string() || !pair[1].is_string()) continue;
      std::u16string name = Wide(pair[0].get<std::string>());
      std::u16string value = Wide(pair[1].get<std::string>());
      const Attribute* old = FindAttribute(node, name);
      if (old && old->value.AsText() == value) {
        attributes.push_back(*old);
      } else {
        attributes.push_back({std::move(name), Variant::Text(value)});
      }
    }
  }
  node.attributes = std::move(attributes);
  node.style.clear();
  LoadParsedState(node);
  if (node.kind == ElementKind::Input) {
    node.value = Wide(TextField(entry, "v"));
    node.valueDirty = BoolField(entry, "d");
  }
  if (node.kind == ElementKind::Option) node.selected = BoolField(entry, "s");
  if (IsFormControl(node)) {
    std::int64_t owner = IntField(entry, "f", -1);
    bool known = owner >= 0 && static_cast<std::size_t>(owner) < elements.size() &&
                 elements[owner]->kind == ElementKind::Form;
    node.form = known ? elements[owner] : nullptr;
  }
}

// Builds a new tree from a snapshot; nothing when the snapshot is not one.
std::optional<Mirror> BuildMirror(const Json& snapshot, const std::weak_ptr<PageHost>& host) {
  const Json& entries = ObjectField(snapshot, "n");
  if (!entries.is_array()) return std::nullopt;
  std::shared_ptr<DocumentTree> tree = DocumentTree::Empty(Wide(TextField(snapshot, "u")));
  Mirror mirror;
  std::vector<Node*> elements;
  for (const Json& entry : entries) {
    std::int64_t up = IntField(entry, "p", -1);
    Node* parent = up >= 0 && static_cast<std::size_t>(up) < elements.size() ? elements[up] : nullptr;
    if (entry.is_object() && entry.contains("x")) {
      if (!parent) return std::nullopt;
      mirror.nodes.push_back(tree->AddText(parent, Wide(TextField(entry, "x"))));
      continue;
    }
    std::string tag = TextField(entry, "e");
    if (tag.empty() || (!elements.empty() && !parent)) return std::nullopt;
    elements.push_back(tree->AddElement(parent, LowerCaseAscii(Wide(tag))));
    mirror.nodes.push_back(elements.back());
  }
  std::size_t element = 0;
  for (const Json& entry : entries) {
    if (!entry.contains("x")) ApplyEntry(entry, *elements[element++], elements);
  }
  tree->Finish();
  tree->SetHost(host);
  mirror.generation = IntField(snapshot, "g", -1);
  mirror.document = HtmlDocument::Adopt(std::move(tree));
  return mirror;
}

}  // namespace

ComPtr<HtmlDocument> DocumentFromSnapshot(const Json& snapshot) {
  std::optional<Mirror> built = BuildMirror(snapshot, {});
  return built ? built->document : ComPtr<HtmlDocument>();
}

namespace {

// Brings a tree of the same structure up to date with a snapshot.
void UpdateMirror(const Json& snapshot, Mirror& mirror) {
  const Json& entries = ObjectField(snapshot, "n");
  const std::shared_ptr<DocumentTree>& tree = mirror.document->tree();
  if (!entries.is_array() || entries.size() != mirror.nodes.size()) return;
  std::lock_guard guard(tree->lock());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Node& node = *mirror.nodes[i];
    if (node.isText) {
      node.text = Wide(TextField(entries[i], "x"));
    } else {
      ApplyEntry(entries[i], node, tree->elements());
    }
  }
  tree->FormsChanged();
  for (Node* node : tree->elements()) {
    if (node->kind == ElementKind::Select) NormaliseSelection(*tree, *node);
  }
}

// The state of an element the program changed, as the page script applies it.
Json StateOf(const DocumentTree& tree, const Node& node) {
  Json attributes = Json::array();
  for (const Attribute& each : node.attributes) attributes.push_back({Narrow(each.name), Narrow(each.value.AsText())});
  Json state{{"a", std::move(attributes)}};
  if (node.kind == ElementKind::Input && node.valueDirty) state["v"] = Narrow(node.value);
  if (node.kind == ElementKind::Option) state["s"] = node.selected;
  if (node.kind == ElementKind::Select) {
    std::vector<Node*> options = SelectOptions(tree, node);
    auto chosen = std::find_if(options.begin(), options.end(), [](const Node* each) { return each->selected; });
    state["x"] = chosen == options.end() ? -1 : static_cast<int>(chosen - options.begin());
  }
  return state;
}

Json CallIn(std::int64_t context, const std::string& body, Json arguments) {
  Json values = Json::array();
  for (Json& each : arguments) values.push_back({{"value", std::move(each)}});
  return {{"functionDeclaration", "function(g, i, s) { " + body + " }"},
          {"executionContextId", context},
          {"arguments", std::move(values)},
          {"returnByValue", true}};
}

}  // namespace

// One page target: its session, the isolated worlds of its frames, the copy of its
// document, and the loads in progress. Owned by the browser's session list (and by
// the window's tasks while they run); the window is cut off when it closes.
class ChromiumPage : public RemotePage, public PageHost, public std::enable_shared_from_this<ChromiumPage> {
  // An isolated world: the session it is reached through, and its id there.
  struct World {
    std::string session;
    std::int64_t id = -1;
    bool operator==(const World&) const = default;
  };

 public:
  ChromiumPage(std::shared_ptr<DevToolsPipe> pipe, std::string session, std::string target,
               std::shared_ptr<PageSource> pages, std::string token)
      : pipe_(std::move(pipe)),
        session_(std::move(session)),
        target_(std::move(target)),
        pages_(std::move(pages)),
        token_(std::move(token)) {}

  void SetWindow(WebBrowser* window) {
    std::lock_guard guard(lock_);
    window_ = window;
  }
  // The window closed: nothing more goes to it.
  void Cut() {
    {
      std::lock_guard guard(lock_);
      window_ = nullptr;
    }
    loaded_.notify_all();
  }
  const std::string& target() const { return target_; }

  // On the window's thread, before the page runs: the domains, the binding in the
  // isolated world only, and the page script in that world of every frame.
  bool Setup(const std::string& script) {
    return Call("Page.enable") && Call("Runtime.enable") &&
           Call("Fetch.enable", {{"patterns", Json::array({{{"resourceType", "Document"}}})}}) &&
           Call("Target.setAutoAttach", {{"autoAttach", true}, {"waitForDebuggerOnStart", true}, {"flatten", true}}) &&
           Call("Runtime.addBinding", {{"name", kBinding}, {"executionContextName", kWorld}}) &&
           Call("Page.addScriptToEvaluateOnNewDocument",
                {{"source", script}, {"worldName", kWorld}, {"runImmediately", true}}) &&
           Call("Runtime.runIfWaitingForDebugger");
  }

  // On the reader thread: a frame of the page that runs in a process of its own (a
  // page of another site) gets the page script in its isolated world, as the page
  // does; its requests are still announced by the page's session. It waits until
  // then.
  void AttachFrame(const std::string& session, const std::string& script, const Json& info) {
    if (TextField(info, "parentFrameId") == target_) {
      std::lock_guard guard(lock_);
      remote_frames_[session] = TextField(info, "targetId");
    }
    pipe_->Send("Page.enable", Json::object(), session);
    pipe_->Send("Runtime.enable", Json::object(), session);
    pipe_->Send("Runtime.addBinding", {{"name", kBinding}, {"executionContextName", kWorld}}, session);
    pipe_->Send("Page.addScriptToEvaluateOnNewDocument",
                {{"source", script}, {"worldName", kWorld}, {"runImmediately", true}}, session);
    pipe_->Send("Runtime.runIfWaitingForDebugger", Json::object(), session);
  }

  // A frame's session ended: its worlds go with it.
  void DetachFrame(const std::string& session) {
    std::lock_guard guard(lock_);
    remote_frames_.erase(session);
    std::erase_if(worlds_, [&session](const auto& each) { return each.second.session == session; });
  }

  // On the reader thread.
  void OnEvent(const ProtocolMessage& event) {
    const Json& params = event.params;
    if (event.method == "Runtime.executionContextCreated") {
      const Json& context = ObjectField(params, "context");
      if (TextField(context, "name") != kWorld) return;
      std::lock_guard guard(lock_);
      worlds_[TextField(ObjectField(context, "auxData"), "frameId")] = World{event.sessionId, IntField(context, "id", -1)};
    } else if (event.method == "Runtime.executionContextDestroyed") {
      World gone{event.sessionId, IntField(params, "executionContextId", -1)};
      std::lock_guard guard(lock_);
      std::erase_if(worlds_, [&gone](const auto& each) { return each.second == gone; });
    } else if (event.method == "Runtime.executionContextsCleared") {
      std::lock_guard guard(lock_);
      std::erase_if(worlds_, [&event](const auto& each) { return each.second.session == event.sessionId; });
    } else if (event.sessionId != session_) {
      return;  // the sessions of frames in processes of their own tell only of their worlds
    } else if (event.method == "Fetch.requestPaused") {
      Post([self = shared_from_this(), params](WebBrowser& window) { self->RequestPaused(window, params); });
    } else if (event.method == "Page.frameNavigated") {
      const Json& frame = ObjectField(params, "frame");
      if (frame.contains("parentId")) return;
      Post([self = shared_from_this(), url = Wide(TextField(frame, "url"))](WebBrowser& window) {
        self->Navigated(window, url);
      });
    } else if (event.method == "Page.loadEventFired") {
      Post([self = shared_from_this()](WebBrowser& window) { self->Loaded(window); });
    } else if (event.method == "Runtime.bindingCalled" && TextField(params, "name") == kBinding) {
      Post([self = shared_from_this(), params](WebBrowser& window) { self->BindingCalled(window, params); });
    }
  }

  void Navigate(const std::u16string& url) override {
    // Only requests over the network reach the interception that announces them; the
    // others (about:, data:, file: ...) are announced here, where they can be stopped.
    const std::u16string address = LowerCaseAscii(url);
    if (address.rfind(u"http:", 0) != 0 && address.rfind(u"https:", 0) != 0) {
      WebBrowser* window = CurrentWindow();
      if (window && window->FireBeforeNavigate(static_cast<IWebBrowser2*>(window), url)) {
        window->RemoteStopped();
        return;
      }
    }
    Send("Page.navigate", {{"url", Narrow(url)}});
  }

  ComPtr<HtmlDocument> Document() override { return Refresh(target_); }

  // What the program did to the frame window since the last look (moved, sized,
  // minimised or restored it) goes to Chromium's window; else the frame window takes
  // the place and state of Chromium's window. WindowStateChanged tells when the page
  // starts or stops being seen.
  void Follow(WebBrowser& window) override {
    std::optional<Json> answer = pipe_->Call("Browser.getWindowForTarget", Json::object(), session_);
    if (!answer) return;
    const Placement remote = PlacementOf(ObjectField(*answer, "bounds"));
    const Placement local = PlacementOf(window.FrameWindow());
    if (placed_ && local != *placed_) {
      Place(IntField(*answer, "windowId", -1), local, remote);
      placed_ = local;
    } else {
      if (remote != local) Show(window, remote);
      placed_ = remote;
    }
    bool minimised = IsIconic(window.FrameWindow());
    // A minimised window hides its front tab's page too; the tab stays the front one.
    if (!minimised && bool(IsWindowVisible(window.TabWindow())) != page_seen_) window.ShowTabWindow(page_seen_);
    if (bool seen = !minimised && page_seen_; seen != window_seen_) {
      window_seen_ = seen;
      window.FireWindowState(seen);
    }
  }

  void SubmitForm(const Node& form, const std::u16string&) override {
    if (WebBrowser* window = CurrentWindow()) window->RemoteStarted();
    Flush();
    std::lock_guard guard(lock_);
    if (!IsCurrent(form)) return;
    SendIn(WorldOf(target_), "return globalThis.__pellix.send(g, i, s);",
           {mirrors_[target_].generation, static_cast<std::int64_t>(form.order), nullptr});
  }

  // A change to the page's document or to a frame's goes to that document's page,
  // with the changes that come with it in one call (sent from the window's thread, or
  // before anything else is asked of the page).
  void Changed(const DocumentTree& tree, const Node& node) override {
    {
      std::lock_guard guard(lock_);
      auto shown = std::find_if(mirrors_.begin(), mirrors_.end(), [&tree](const auto& each) {
        return each.second.document && each.second.document->tree().get() == &tree;
      });
      if (shown == mirrors_.end()) return;
      Json& changes = unsent_[shown->first];
      if (changes.is_null()) changes = Json::array();
      changes.push_back({shown->second.generation, static_cast<std::int64_t>(node.order), StateOf(tree, node)});
      if (std::exchange(flush_posted_, true)) return;
    }
    Post([self = shared_from_this()](WebBrowser&) { self->Flush(); });
  }

  // Sends the changes not sent yet; what is asked of the page after comes after them.
  void Flush() {
    std::lock_guard sending(flush_lock_);
    std::vector<std::pair<World, Json>> batches;
    {
      std::lock_guard guard(lock_);
      for (auto& [frame, changes] : unsent_) batches.emplace_back(WorldOf(frame), std::move(changes));
      unsent_.clear();
      flush_posted_ = false;
    }
    for (auto& [world, changes] : batches) {
      SendIn(world, "for (const c of g) globalThis.__pellix.apply(...c); return true;",
             {std::move(changes), nullptr, nullptr});
    }
  }

  bool Alive() const { return pipe_->Alive(); }
  void CloseTarget() { pipe_->Send("Target.closeTarget", {{"targetId", target_}}); }
  // The target has gone: calls for it answer empty from now on.
  void Gone() { pipe_->FailSession(session_); }
  int Count(ChromiumBrowser::Counted what) {
    std::lock_guard guard(lock_);
    return what == ChromiumBrowser::Counted::kLoads ? loads_ : reports_;
  }
  bool WaitFor(ChromiumBrowser::Counted what, int count) {
    std::unique_lock guard(lock_);
    return loaded_.wait_for(guard, kLoadTimeout, [&] {
      return (what == ChromiumBrowser::Counted::kLoads ? loads_ : reports_) >= count || !window_;
    });
  }
  std::optional<Json> Command(const std::string& method, const Json& params) {
    Flush();
    return pipe_->Call(method, params, session_);
  }

 private:
  bool Call(const std::string& method, const Json& params = Json::object()) {
    return pipe_->Call(method, params, session_).has_value();
  }
  void Send(const std::string& method, const Json& params) { pipe_->Send(method, params, session_); }
  void SendIn(const World& world, const std::string& body, Json arguments) {
    if (world.id >= 0) pipe_->Send("Runtime.callFunctionOn", CallIn(world.id, body, std::move(arguments)), world.session);
  }
  // Under lock_: the isolated world of a frame (the page's own: the target's id).
  World WorldOf(const std::string& frame) const {
    auto found = worlds_.find(frame);
    return found == worlds_.end() ? World() : found->second;
  }
  bool IsCurrent(const Node& node) {
    const Mirror& page = mirrors_[target_];
    if (!page.document) return false;
    const std::vector<Node*>& elements = page.document->tree()->elements();
    return node.order < elements.size() && elements[node.order] == &node;
  }

  template <typename Task>
  void Post(Task task) {
    std::lock_guard guard(lock_);
    if (!window_) return;
    WebBrowser* window = window_;
    window_->Run(
        [window, task = std::move(task)]() mutable { task(*window); }, false);
  }

  std::optional<Json> SnapshotIn(const World& world) {
    if (world.id < 0) return std::nullopt;
    std::optional<Json> answer = pipe_->Call(
        "Runtime.callFunctionOn", CallIn(world.id, "return globalThis.__pellix.snapshot();", Json::array()),
        world.session);
    if (!answer) return std::nullopt;
    return ObjectField(ObjectField(*answer, "result"), "value");
  }

  // Brings the copy of a frame's document (the page's own: the target's id) up to date
  // with a snapshot (taken now when none is given); the current document, or null
  // when there is none.
  ComPtr<HtmlDocument> Refresh(const std::string& frame, const std::optional<Json>& given = std::nullopt) {
    std::lock_guard refreshing(refresh_lock_);
    Flush();
    World world;
    Mirror current;
    {
      std::lock_guard guard(lock_);
      world = WorldOf(frame);
      current = mirrors_[frame];
    }
    std::optional<Json> snapshot = given ? given : SnapshotIn(world);
    if (!snapshot) return current.document;
    if (current.document && IntField(*snapshot, "g", -2) == current.generation &&
        current.document->tree()->url() == Wide(TextField(*snapshot, "u"))) {
      UpdateMirror(*snapshot, current);
      return current.document;
    }
    std::optional<Mirror> built = BuildMirror(*snapshot, weak_from_this());
    if (!built) {
      LogBrowserFault("a page snapshot that cannot be read was dropped");
      return current.document;
    }
    std::lock_guard guard(lock_);
    mirrors_[frame] = *built;
    return built->document;
  }

  // A frame's document brought up to date while its page is the window's; null after.
  ComPtr<HtmlDocument> FrameDocument(const std::string& frame) {
    {
      std::lock_guard guard(lock_);
      if (!frames_.count(frame)) return {};
    }
    return Refresh(frame);
  }

  void RequestPaused(WebBrowser& window, const Json& params) {
    std::string id = TextField(params, "requestId");
    std::string frame = TextField(params, "frameId");
    std::u16string url = Wide(TextField(ObjectField(params, "request"), "url"));
    bool main = frame == target_;
    bool redirected = false;
    {
      std::lock_guard guard(lock_);
      auto expected = redirects_.find(frame);
      redirected = expected != redirects_.end() && expected->second == url;
      if (redirected) redirects_.erase(expected);
    }
    if (!redirected) {
      ComPtr<FrameBrowser> frameObject = main ? ComPtr<FrameBrowser>() : FrameObject(frame, url);
      IDispatch* source = main ? static_cast<IWebBrowser2*>(&window) : static_cast<IWebBrowser2*>(frameObject.get());
      if (window.FireBeforeNavigate(source, url)) {
        Send("Fetch.failRequest", {{"requestId", id}, {"errorReason", "Aborted"}});
        if (main) window.RemoteStopped();
        std::lock_guard guard(lock_);
        if (!main) cancelled_.insert(frame);
        return;
      }
    }
    Answer(id, frame, url);
  }

  // Serves a request from the page source when there is one, else lets it through.
  void Answer(const std::string& id, const std::string& frame, const std::u16string& url) {
    if (!pages_) {
      Send("Fetch.continueRequest", {{"requestId", id}});
      return;
    }
    if (std::optional<std::u16string> next = pages_->RedirectOf(url)) {
      {
        std::lock_guard guard(lock_);
        redirects_[frame] = *next;
      }
      Send("Fetch.fulfillRequest", {{"requestId", id},
                                    {"responseCode", 302},
                                    {"responseHeaders", Json::array({{{"name", "Location"}, {"value", Narrow(*next)}}})}});
      return;
    }
    std::string body = pages_->Load(url).value_or(std::string());
    Send("Fetch.fulfillRequest",
         {{"requestId", id},
          {"responseCode", 200},
          {"responseHeaders", Json::array({{{"name", "Content-Type"}, {"value", "text/html; charset=utf-8"}}})},
          {"body", Base64(body)}});
  }

  static std::string Base64(const std::string& bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
      unsigned n = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                   static_cast<unsigned char>(bytes[i + 2]);
      out += {kDigits[n >> 18], kDigits[(n >> 12) & 63], kDigits[(n >> 6) & 63], kDigits[n & 63]};
    }
    if (i < bytes.size()) {
      unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
      if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
      out += {kDigits[n >> 18], kDigits[(n >> 12) & 63]};
      out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
      out += '=';
    }
    return out;
  }

  ComPtr<FrameBrowser> FrameObject(const std::string& frame, const std::u16string& url) {
    std::lock_guard guard(lock_);
    ComPtr<FrameBrowser>& object = frames_[frame];
    if (!object) object = MakeComObject<FrameBrowser>(url);
    return object;
  }

  WebBrowser* CurrentWindow() {
    std::lock_guard guard(lock_);
    return window_;
  }

  void Navigated(WebBrowser& window, const std::u16string& url) {
    {
      std::lock_guard guard(lock_);
      frames_.clear();
      cancelled_.clear();
      mirrors_.clear();
    }
    window.RemoteNavigated(url);
  }

  // The page and its frames have loaded: the frames' events (each direct frame the
  // program let load), then the page's DocumentComplete.
  void Loaded(WebBrowser& window) {
    ComPtr<HtmlDocument> page = Refresh(target_);
    std::vector<ComPtr<IWebBrowser2>> frames;
    for (const std::string& id : DirectFrames()) {
      ComPtr<FrameBrowser> object;
      {
        std::lock_guard guard(lock_);
        if (cancelled_.count(id)) continue;
        auto requested = frames_.find(id);
        if (requested != frames_.end()) object = requested->second;
      }
      if (!object) continue;  // a frame without an address of its own loads nothing
      ComPtr<HtmlDocument> document = Refresh(id);
      if (!document) continue;
      object->Loaded(document);
      const std::u16string url = document->tree()->url();
      object->SetSource([weak = weak_from_this(), id] {
        std::shared_ptr<ChromiumPage> self = weak.lock();
        return self ? self->FrameDocument(id) : ComPtr<HtmlDocument>();
      });
      IDispatch* source = static_cast<IWebBrowser2*>(object.get());
      window.FireUrlEvent(DISPID_NAVIGATECOMPLETE2, source, url);
      window.FireUrlEvent(DISPID_DOCUMENTCOMPLETE, source, url);
      frames.emplace_back(object.get());
    }
    window.RemoteCompleted(page, std::move(frames));
    {
      std::lock_guard guard(lock_);
      ++loads_;
    }
    loaded_.notify_all();
  }

  // The page's own frames: those in its process, as its frame tree lists them, and
  // those of other sites, which run in processes of their own.
  std::vector<std::string> DirectFrames() {
    std::vector<std::string> ids;
    const Json tree = pipe_->Call("Page.getFrameTree", Json::object(), session_).value_or(Json::object());
    const Json& children = ObjectField(ObjectField(tree, "frameTree"), "childFrames");
    for (const Json& child : children.is_array() ? children : Json::array()) {
      ids.push_back(TextField(ObjectField(child, "frame"), "id"));
    }
    std::lock_guard guard(lock_);
    for (const auto& [session, id] : remote_frames_) {
      if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    }
    return ids;
  }

  // A report from the page script: counted only from the isolated world of the
  // window's current document and with this run's token.
  void BindingCalled(WebBrowser& window, const Json& params) {
    Report(window, params);
    {
      std::lock_guard guard(lock_);
      ++reports_;
    }
    loaded_.notify_all();
  }

  void Report(WebBrowser& window, const Json& params) {
    {
      std::lock_guard guard(lock_);
      if (IntField(params, "executionContextId", -2) != WorldOf(target_).id) {
        LogBrowserFault("a report from outside the page's isolated world was ignored");
        return;
      }
    }
    Json report = Json::parse(TextField(params, "payload"), nullptr, false);
    if (report.is_discarded() || TextField(report, "t") != token_) {
      LogBrowserFault("a report without the token was ignored");
      return;
    }
    std::string kind = TextField(report, "k");
    if (kind == "seen") {
      page_seen_ = BoolField(report, "v");
      Follow(window);
      return;
    }
    std::int64_t index = IntField(report, "i", -1);
    ComPtr<HtmlDocument> page = Refresh(target_, ObjectField(report, "s"));
    if (!page || index < 0 || static_cast<std::size_t>(index) >= page->tree()->elements().size()) return;
    ComPtr<HtmlElement> element(HtmlElement::Of(page->tree()->elements()[index]));
    if (kind == "contextmenu") {
      element->FireEvent(DISPID_HTMLELEMENTEVENTS2_ONCONTEXTMENU, u"contextmenu", true);
    } else if (kind == "submit" && element.As<IHTMLFormElement>()) {
      bool send = element->FireEvent(DISPID_HTMLFORMELEMENTEVENTS2_ONSUBMIT, u"submit", false);
      if (!send || BoolField(report, "h")) return;
      const Json& submitter = ObjectField(report, "b");
      window.RemoteStarted();
      std::lock_guard guard(lock_);
      SendIn(WorldOf(target_), "return globalThis.__pellix.send(g, i, s);",
             {mirrors_[target_].generation, index, submitter.is_array() ? submitter : Json(nullptr)});
    }
  }

  // A window's place on the screen, and whether it is minimised.
  struct Placement {
    RECT rect{};
    bool minimised = false;
    bool operator!=(const Placement& other) const {
      return minimised != other.minimised || rect.left != other.rect.left || rect.top != other.rect.top ||
             rect.right != other.rect.right || rect.bottom != other.rect.bottom;
    }
  };

  static Placement PlacementOf(const Json& bounds) {
    int left = static_cast<int>(IntField(bounds, "left", 0));
    int top = static_cast<int>(IntField(bounds, "top", 0));
    return {RECT{left, top, left + static_cast<int>(IntField(bounds, "width", 0)),
                 top + static_cast<int>(IntField(bounds, "height", 0))},
            TextField(bounds, "windowState") == "minimized"};
  }

  static Placement PlacementOf(HWND frame) {
    Placement placement;
    GetWindowRect(frame, &placement.rect);
    placement.minimised = IsIconic(frame);
    return placement;
  }

  // Chromium's window Id goes where the frame window is. Chromium takes a new place
  // only for a window that is not minimised.
  void Place(std::int64_t id, const Placement& local, const Placement& remote) {
    if (local.minimised) {
      Send("Browser.setWindowBounds", {{"windowId", id}, {"bounds", {{"windowState", "minimized"}}}});
      return;
    }
    if (remote.minimised) Send("Browser.setWindowBounds", {{"windowId", id}, {"bounds", {{"windowState", "normal"}}}});
    const RECT& rect = local.rect;
    Send("Browser.setWindowBounds", {{"windowId", id},
                                     {"bounds", {{"left", rect.left},
                                                 {"top", rect.top},
                                                 {"width", rect.right - rect.left},
                                                 {"height", rect.bottom - rect.top}}}});
  }

  static void Show(WebBrowser& window, const Placement& remote) {
    const RECT& rect = remote.rect;
    SetWindowPos(window.FrameWindow(), 0, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (remote.minimised != bool(IsIconic(window.FrameWindow()))) {
      window.ShowFrame(remote.minimised ? SW_MINIMIZE : SW_RESTORE);
    }
  }

  const std::shared_ptr<DevToolsPipe> pipe_;
  const std::string session_;
  const std::string target_;
  const std::shared_ptr<PageSource> pages_;
  const std::string token_;

  std::mutex refresh_lock_;  // one refresh at a time; taken before lock_ and the tree's lock
  std::mutex flush_lock_;    // one sender of changes at a time; taken before lock_
  std::mutex lock_;
  std::condition_variable loaded_;
  WebBrowser* window_ = nullptr;
  std::map<std::string, std::string> remote_frames_;  // the page's frames in processes of their own, by session
  std::map<std::string, World> worlds_;  // the isolated world of each frame, by frame id
  std::map<std::string, ComPtr<FrameBrowser>> frames_;
  std::set<std::string> cancelled_;
  std::map<std::string, std::u16string> redirects_;  // by frame: the address a redirect goes to
  std::map<std::string, Json> unsent_;  // the changes not sent yet, by frame id
  bool flush_posted_ = false;
  std::map<std::string, Mirror> mirrors_;  // the copies of the page's and its frames' documents, by frame id
  int loads_ = 0;
  int reports_ = 0;
  // On the window's thread only: where both windows were last seen alike, whether
  // the page is seen in its window, and what WindowStateChanged told last.
  std::optional<Placement> placed_;
  bool page_seen_ = true;
  bool window_seen_ = true;
};

ChromiumBrowser& ChromiumBrowser::Instance() {
  // Never destroyed: windows' threads may still reach it while the process ends.
  static ChromiumBrowser* instance = new ChromiumBrowser();
  return *instance;
}

ChromiumBrowser::ChromiumBrowser() : options_(DefaultOptions()), token_(NewToken()) {}

LaunchOptions ChromiumBrowser::DefaultOptions(std::string_view profile) {
  return Options(std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr, profile);
}

LaunchOptions ChromiumBrowser::Options(bool onScreen, std::string_view profile) {
  LaunchOptions options;
  options.profile = platform::StateRoot() / profile;
  const std::filesystem::path desktop = "/usr/bin/chromium";
  const std::filesystem::path shell = "/usr/lib/chromium/chromium-headless-shell";
  if (onScreen && access(desktop.c_str(), X_OK) == 0) {
    options.program = desktop;
    options.headless = false;
  } else if (access(shell.c_str(), X_OK) == 0) {
    options.program = shell;
  } else if (access(desktop.c_str(), X_OK) == 0) {
    options.program = desktop;
  }
  return options;
}

void ChromiumBrowser::Configure(LaunchOptions options) {
  std::lock_guard guard(lock_);
  options_ = std::move(options);
}

void ChromiumBrowser::SetPages(std::shared_ptr<PageSource> pages) {
  std::lock_guard guard(lock_);
  pages_ = std::move(pages);
}

bool ChromiumBrowser::Running() {
  std::lock_guard guard(lock_);
  return pipe_ && pipe_->Alive();
}

pid_t ChromiumBrowser::ProcessId() {
  std::lock_guard guard(lock_);
  return pipe_ ? pipe_->ProcessId() : -1;
}

std::shared_ptr<DevToolsPipe> ChromiumBrowser::EnsureRunning() {
  LaunchOptions options;
  {
    std::lock_guard guard(lock_);
    if (pipe_ && pipe_->Alive()) return pipe_;
    if (pipe_) retired_.push_back(std::move(pipe_));
    options = options_;
  }
  if (options.program.empty()) {
    LogBrowserFault("no Chromium program is installed");
    return nullptr;
  }
  std::shared_ptr<DevToolsPipe> pipe = DevToolsPipe::Launch(
      options, [this](const ProtocolMessage& event) { OnEvent(event); }, [this] { OnEnd(); });
  if (!pipe) return nullptr;
  {
    std::lock_guard guard(lock_);
    pipe_ = pipe;
  }
  // Every page target is attached as it appears and waits until its page script is in.
  if (!pipe->Call("Target.setDiscoverTargets", {{"discover", true}}) ||
      !pipe->Call("Target.setAutoAttach", {{"autoAttach", true}, {"waitForDebuggerOnStart", true}, {"flatten", true}})) {
    pipe->Close();
    return nullptr;
  }
  return pipe;
}

void ChromiumBrowser::OnEvent(const ProtocolMessage& message) {
  if (message.method == "Target.attachedToTarget") return Attached(message);
  if (message.method == "Target.detachedFromTarget") return Detached(TextField(message.params, "sessionId"));
  if (message.method == "Inspector.detached") return Detached(message.sessionId);
  if (message.sessionId.empty()) return;
  std::shared_ptr<ChromiumPage> page = PageOfSession(message.sessionId);
  if (page) page->OnEvent(message);
}

std::shared_ptr<ChromiumPage> ChromiumBrowser::PageOfSession(const std::string& sessionId) {
  std::lock_guard guard(lock_);
  auto found = sessions_.find(sessionId);
  if (found != sessions_.end()) return found->second.page;
  auto frame = frame_sessions_.find(sessionId);
  return frame != frame_sessions_.end() ? frame->second : nullptr;
}

void ChromiumBrowser::Attached(const ProtocolMessage& message) {
  const std::string session = TextField(message.params, "sessionId");
  const Json& info = ObjectField(message.params, "targetInfo");
  std::shared_ptr<DevToolsPipe> pipe;
  std::shared_ptr<PageSource> pages;
  {
    std::lock_guard guard(lock_);
    pipe = pipe_;
    pages = pages_;
  }
  if (!pipe) return;
  const std::string script =
      Replace(Replace(kPageScript, "TOKEN", Json(token_).dump()), "BINDING", Json(kBinding).dump());
  if (TextField(info, "type") == "iframe") {
    // A frame of a watched page (the page's session announces it) that runs in a
    // process of its own.
    std::shared_ptr<ChromiumPage> owner;
    {
      std::lock_guard guard(lock_);
      auto found = sessions_.find(message.sessionId);
      if (found != sessions_.end()) owner = found->second.page;
      if (owner) frame_sessions_[session] = owner;
    }
    if (owner) return owner->AttachFrame(session, script, info);
  }
  if (TextField(info, "type") != "page") {
    // Workers and the like run on unwatched.
    pipe->Send("Runtime.runIfWaitingForDebugger", Json::object(), session);
    pipe->Send("Target.detachFromTarget", {{"sessionId", session}});
    return;
  }
  auto page = std::make_shared<ChromiumPage>(pipe, session, TextField(info, "targetId"), pages, token_);
  auto window = MakeComObject<WebBrowser>(WindowOptions{}, std::make_shared<PageMap>());
  window->SetRemote(page);
  if (!window->Start()) {
    pipe->Send("Target.closeTarget", {{"targetId", page->target()}});
    return;
  }
  page->SetWindow(window.get());
  window->SetCloseHandler([this, session] { CloseSession(session); });
  {
    std::lock_guard guard(lock_);
    sessions_[session] = Entry{page, window};
  }
  window->Run(
      [this, page, window, script] {
        if (!page->Setup(script)) LogBrowserFault("a page could not be prepared");
        page->Follow(*window);
        InProcessBrowser::Instance().AddWindow(window);
        { std::lock_guard guard(lock_); }
        ready_.notify_all();
      },
      false);
}

ChromiumBrowser::Entry ChromiumBrowser::Take(const std::string& sessionId) {
  std::lock_guard guard(lock_);
  auto found = sessions_.find(sessionId);
  if (found == sessions_.end()) return {};
  Entry entry = std::move(found->second);
  sessions_.erase(found);
  std::erase_if(frame_sessions_, [&entry](const auto& each) { return each.second == entry.page; });
  entry.page->Cut();
  return entry;
}

void ChromiumBrowser::CloseSession(const std::string& sessionId) {
  Entry entry = Take(sessionId);
  if (!entry.page) return;
  entry.page->CloseTarget();
  InProcessBrowser::Instance().CloseWindow(entry.window.get());
}

void ChromiumBrowser::Detached(const std::string& sessionId) {
  std::shared_ptr<ChromiumPage> framed;
  {
    std::lock_guard guard(lock_);
    auto frame = frame_sessions_.find(sessionId);
    if (frame != frame_sessions_.end()) {
      framed = frame->second;
      frame_sessions_.erase(frame);
    }
  }
  if (framed) return framed->DetachFrame(sessionId);
  Entry entry = Take(sessionId);
  if (!entry.page) return;
  // The window's thread may wait for this reader; once its session answers at once,
  // the window can be closed (and its thread joined) here.
  entry.page->Gone();
  InProcessBrowser::Instance().CloseWindow(entry.window.get());
}

void ChromiumBrowser::OnEnd() {
  std::vector<std::string> gone;
  {
    std::lock_guard guard(lock_);
    for (const auto& [session, entry] : sessions_) {
      if (!entry.page->Alive()) gone.push_back(session);
    }
  }
  for (const std::string& session : gone) Detached(session);
}

void ChromiumBrowser::StartOnScreen() {
  bool onScreen = false;
  {
    std::lock_guard guard(lock_);
    onScreen = !options_.headless && !options_.program.empty();
  }
  if (onScreen) EnsureRunning();
}

ComPtr<IWebBrowser2> ChromiumBrowser::OpenWindow() {
  std::shared_ptr<DevToolsPipe> pipe = EnsureRunning();
  if (!pipe) return {};
  std::optional<Json> created = pipe->Call("Target.createTarget", {{"url", "about:blank"}});
  if (!created) return {};
  const std::string target = TextField(*created, "targetId");
  auto listed = [&]() -> ComPtr<WebBrowser> {
    for (const auto& [session, entry] : sessions_) {
      if (entry.page->target() != target) continue;
      if (InProcessBrowser::Instance().Find(entry.window.get())) return entry.window;
    }
    return {};
  };
  std::unique_lock guard(lock_);
  ComPtr<WebBrowser> window;
  ready_.wait_for(guard, kOpenTimeout, [&] { return bool(window = listed()) || !pipe->Alive(); });
  return ComPtr<IWebBrowser2>(window.get());
}

std::shared_ptr<ChromiumPage> ChromiumBrowser::PageOf(IWebBrowser2* browser) {
  std::lock_guard guard(lock_);
  for (const auto& [session, entry] : sessions_) {
    if (platform::com::IsSameObject(static_cast<IWebBrowser2*>(entry.window.get()), browser)) return entry.page;
  }
  return nullptr;
}

std::optional<Json> ChromiumBrowser::Command(IWebBrowser2* browser, const std::string& method, const Json& params) {
  std::shared_ptr<ChromiumPage> page = PageOf(browser);
  return page ? page->Command(method, params) : std::nullopt;
}

int ChromiumBrowser::Count(IWebBrowser2* browser, Counted what) {
  std::shared_ptr<ChromiumPage> page = PageOf(browser);
  return page ? page->Count(what) : -1;
}

bool ChromiumBrowser::WaitFor(IWebBrowser2* browser, Counted what, int count) {
  std::shared_ptr<ChromiumPage> page = PageOf(browser);
  return page && page->WaitFor(what, count);
}

void ChromiumBrowser::Shutdown() {
  std::map<std::string, Entry> sessions;
  std::shared_ptr<DevToolsPipe> pipe;
  std::vector<std::shared_ptr<DevToolsPipe>> retired;
  {
    std::lock_guard guard(lock_);
    sessions = std::move(sessions_);
    sessions_.clear();
    frame_sessions_.clear();
    pipe = std::move(pipe_);
    retired = std::move(retired_);
  }
  for (auto& [session, entry] : sessions) {
    entry.page->Cut();
    InProcessBrowser::Instance().CloseWindow(entry.window.get());
  }
  if (pipe) pipe->Close();
  for (auto& each : retired) each->Close();
}

}  // namespace platform::browser
