#include "component/Control.h"

#include <ocidl.h>
#include <olectl.h>

#include <iterator>
#include <utility>

#include "component/Automation.h"
#include "component/ComSupport.h"
#include "component/DispatchObject.h"
#include "component/EventPoint.h"
#include "component/Interfaces.h"
#include "component/OleEmbedding.h"
#include "component/View.h"
#include "framework/ComPtr.h"

namespace mipv {

namespace {

using framework::ComPtr;

// Hands a reference out through an out-parameter.
template <class T>
T* handOut(const ComPtr<T>& pointer) {
  if (pointer) pointer->AddRef();
  return pointer.get();
}

class Control;

// A property of the control as IDispatch and the vtable both reach it. The getter writes the
// value into a VARIANT; the setter takes one, converted to the property's type.
struct Property {
  const wchar_t* name;
  DISPID id;
  void (*get)(Control& control, VARIANT* value);        // null: cannot be read
  void (*put)(Control& control, const VARIANT& value);  // null: cannot be written
};

const Property& property(DISPID id);

class Control final : public WithoutTypeInfo<IMiDocView>,
                      public OleEmbedding,
                      public IConnectionPointContainer,
                      public ISupportErrorInfo,
                      protected RefCounted {
 public:
  Control()
      : OleEmbedding(view_),
        events_(static_cast<IConnectionPointContainer*>(this)),
        view_(View::Callbacks{[this](Event e) { fire(e); }, [this](bool f) { focusChanged(f); }}) {}
  ~Control() override { view_.destroyWindow(); }

  View& view() { return view_; }

  // One document object per loaded document, handed out again while it is shown.
  ComPtr<IDocumentObject> documentObject() {
    if (!documentObject_ || documentObjectFor_ != view_.document().get()) {
      documentObject_ = makeDocumentObject(view_.document());
      documentObjectFor_ = view_.document().get();
    }
    return documentObject_;
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = interfaceFor(iid);
    if (!*object) return E_NOINTERFACE;
    addRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return release(); }

  // IDispatch: the properties by dispatch id.
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

  // IMiDocView: the properties through the same table as IDispatch.
  HRESULT STDMETHODCALLTYPE get_DocumentObject(IDispatch** document) override {
    return get(DISPID_DocumentObject, document);
  }
  HRESULT STDMETHODCALLTYPE get_FileName(BSTR* name) override { return get(DISPID_FileName, name); }
  HRESULT STDMETHODCALLTYPE put_FileName(BSTR name) override {
    VARIANT value{};
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = name;  // lent, not owned
    return put(DISPID_FileName, value);
  }
  HRESULT STDMETHODCALLTYPE get_PageNum(LONG* page) override { return get(DISPID_PageNum, page); }
  HRESULT STDMETHODCALLTYPE put_PageNum(LONG page) override {
    return put(DISPID_PageNum, longVariant(page));
  }
  HRESULT STDMETHODCALLTYPE get_PageCount(LONG* count) override {
    return get(DISPID_PageCount, count);
  }
  HRESULT STDMETHODCALLTYPE get_FitMode(LONG* mode) override { return get(DISPID_FitMode, mode); }
  HRESULT STDMETHODCALLTYPE put_FitMode(LONG mode) override {
    return put(DISPID_FitMode, longVariant(mode));
  }
  HRESULT STDMETHODCALLTYPE GetScale(double* scaleX, double* scaleY) override {
    return run([&] {
      Scale scale = view_.scale();
      out(scaleX) = scale.x;
      out(scaleY) = scale.y;
    });
  }
  HRESULT STDMETHODCALLTYPE GetPageSize(LONG page, LONG* width, LONG* height) override {
    return run([&] {
      const auto& document = view_.document();
      SIZE size = document->pageSize(existingPage(document.get(), page));
      out(width) = size.cx;
      out(height) = size.cy;
    });
  }
  HRESULT STDMETHODCALLTYPE GetPageResolution(LONG page, double* dpiX, double* dpiY) override {
    return run([&] {
      const auto& document = view_.document();
      size_t index = existingPage(document.get(), page);
      out(dpiX) = document->dpiX(index);
      out(dpiY) = document->dpiY(index);
    });
  }
  HRESULT STDMETHODCALLTYPE get_PageText(LONG page, BSTR* text) override {
    return run([&] {
      const auto& document = view_.document();
      size_t index = existingPage(document.get(), page);
      out(text) = Bstr(document->document.pageText(index)).release();
    });
  }
  HRESULT STDMETHODCALLTYPE GetScrollPosition(LONG* x, LONG* y) override {
    return run([&] {
      POINT position = view_.scrollPosition();
      out(x) = position.x;
      out(y) = position.y;
    });
  }
  HRESULT STDMETHODCALLTYPE ScrollTo(LONG x, LONG y) override {
    return run([&] { view_.scrollTo(x, y); });
  }
  HRESULT STDMETHODCALLTYPE GetVisibleRect(LONG* left, LONG* top, LONG* right,
                                           LONG* bottom) override {
    return run([&] {
      RECT shown = view_.visibleRect();
      out(left) = shown.left;
      out(top) = shown.top;
      out(right) = shown.right;
      out(bottom) = shown.bottom;
    });
  }
  HRESULT STDMETHODCALLTYPE get_BackColor(OLE_COLOR* colour) override {
    return run([&] { out(colour) = view_.backColor(); });
  }
  HRESULT STDMETHODCALLTYPE SetScale(double scaleX, double scaleY) override {
    return run([&] { view_.setScale(scaleX, scaleY); });
  }
  HRESULT STDMETHODCALLTYPE put_BackColor(OLE_COLOR colour) override {
    return run([&] {
      COLORREF translated = 0;
      if (FAILED(OleTranslateColor(colour, nullptr, &translated)))
        throw ComponentError(E_INVALIDARG, L"The colour " + std::to_wstring(colour) +
                                               L" is neither an RGB value nor a system colour.");
      view_.setBackColor(translated);
    });
  }
  HRESULT STDMETHODCALLTYPE get_SelectedPage(LONG* page) override {
    return run([&] { out(page) = view_.selectedPage(); });
  }
  HRESULT STDMETHODCALLTYPE NextPage() override {
    return run([&] { view_.nextPage(); });
  }
  HRESULT STDMETHODCALLTYPE PreviousPage() override {
    return run([&] { view_.previousPage(); });
  }
  HRESULT STDMETHODCALLTYPE get_TextSelection(IDispatch** selection) override {
    return run([&] {
      out(selection) = handOut(makeTextSelection(view_.document(), view_.selectedPage()));
    });
  }
  HRESULT STDMETHODCALLTYPE get_HasDocument(VARIANT_BOOL* open) override {
    return run([&] { out(open) = view_.document() ? VARIANT_TRUE : VARIANT_FALSE; });
  }
  HRESULT STDMETHODCALLTYPE get_ImageSelection(IDispatch** selection) override {
    return run([&] {
      out(selection) = handOut(makeImageSelection(view_.document(), view_.selectedPage()));
    });
  }
  HRESULT STDMETHODCALLTYPE Refresh() override {
    return run([&] { view_.refresh(); });
  }
  HRESULT STDMETHODCALLTYPE SelectPage(LONG page) override {
    return run([&] { view_.selectPage(page); });
  }

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override {
    if (points) *points = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (iid != DIID_PageViewEvents) return CONNECT_E_NOCONNECTION;
    *point = &events_;
    events_.AddRef();
    return S_OK;
  }

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == IID_IMiDocView || iid == IID_IDispatch ? S_OK : S_FALSE;
  }

 private:
  void* interfaceFor(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IMiDocView)
      return static_cast<IMiDocView*>(this);
    if (iid == IID_IOleObject) return static_cast<IOleObject*>(this);
    if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
      return static_cast<IOleInPlaceObject*>(this);
    if (iid == IID_IOleInPlaceActiveObject) return static_cast<IOleInPlaceActiveObject*>(this);
    if (iid == IID_IOleControl) return static_cast<IOleControl*>(this);
    if (iid == IID_IPersist || iid == IID_IPersistStreamInit)
      return static_cast<IPersistStreamInit*>(this);
    if (iid == IID_IViewObject || iid == IID_IViewObject2) return static_cast<IViewObject2*>(this);
    if (iid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
  }

  template <class Body>
  HRESULT run(Body&& body) noexcept {
    return guarded(IID_IMiDocView, std::forward<Body>(body));
  }

  static VARIANT longVariant(LONG value) {
    VARIANT v{};
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
  }

  // A property's value through its getter, handed out as the vtable's type.
  template <class T>
  HRESULT get(DISPID id, T* result) noexcept {
    return run([&] {
      T& slot = out(result);
      Variant value;
      property(id).get(*this, value.get());
      take(*value.get(), slot);
    });
  }
  HRESULT put(DISPID id, const VARIANT& value) noexcept {
    return run([&] { property(id).put(*this, value); });
  }
  // The value the getter wrote, as the type it has in the vtable: a string or a reference
  // moves out of the VARIANT to the caller.
  static void take(VARIANT& value, LONG& slot) { slot = V_I4(&value); }
  static void take(VARIANT& value, BSTR& slot) {
    slot = V_BSTR(&value);
    V_VT(&value) = VT_EMPTY;
  }
  static void take(VARIANT& value, IDispatch*& slot) {
    slot = V_DISPATCH(&value);
    V_VT(&value) = VT_EMPTY;
  }

  void fire(Event event) {
    if (eventsFrozen()) return;
    AddRef();  // a sink may release its last reference to the control
    events_.fire(event);
    Release();
  }

  EventPoint events_;
  View view_;
  ComPtr<IDocumentObject> documentObject_;
  const LoadedDocument* documentObjectFor_ = nullptr;
};

// The control's properties, the one place that says what each dispatch id reads and writes.
const Property kProperties[] = {
    {L"DocumentObject", DISPID_DocumentObject,
     [](Control& c, VARIANT* value) {
       setResult(value, static_cast<IDispatch*>(c.documentObject().get()));
     },
     nullptr},
    {L"FileName", DISPID_FileName,
     [](Control& c, VARIANT* value) { setResult(value, c.view().fileName()); },
     [](Control& c, const VARIANT& value) { c.view().setFileName(stringValue(value)); }},
    {L"PageNum", DISPID_PageNum,
     [](Control& c, VARIANT* value) { setResult(value, c.view().pageNum()); },
     [](Control& c, const VARIANT& value) { c.view().setPageNum(longValue(value)); }},
    {L"PageCount", DISPID_PageCount,
     [](Control& c, VARIANT* value) { setResult(value, c.view().pageCount()); }, nullptr},
    {L"FitMode", DISPID_FitMode,
     [](Control& c, VARIANT* value) { setResult(value, static_cast<LONG>(c.view().fitMode())); },
     [](Control& c, const VARIANT& value) { c.view().setFitMode(longValue(value)); }},
};

const Property* findProperty(DISPID id) {
  for (const Property& p : kProperties)
    if (p.id == id) return &p;
  return nullptr;
}

const Property& property(DISPID id) {
  return *findProperty(id);  // the vtable asks only for the table's own ids
}

HRESULT Control::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  return idsOfNames(kProperties, std::size(kProperties), names, count, ids);
}

HRESULT Control::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  return guardedInvoke(IID_IMiDocView, excepInfo, argErr, [&] {
    const Property* p = findProperty(id);
    if (p && p->put && isPut(flags)) {
      expectArguments(params, 1);
      p->put(*this, params->rgvarg[0]);
    } else if (p && p->get && isGet(flags)) {
      expectArguments(params, 0);
      p->get(*this, result);
    } else {
      throw DispatchError{DISP_E_MEMBERNOTFOUND};
    }
  });
}

}  // namespace

HRESULT createControl(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  try {
    auto control = ComPtr<IMiDocView>::adopt(new Control());
    return control->QueryInterface(iid, object);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace mipv
