// The DLL's entry points: class factory, unloading, and registration for the
// machine (regsvr32) or for the current user (regsvr32 /n /i:user).
#include <windows.h>

#include <olectl.h>

#include <atomic>
#include <string>

#include "component/ComSupport.h"
#include "component/Control.h"
#include "component/Interfaces.h"
#include "component/View.h"

namespace mipv {

namespace {

HINSTANCE g_instance = nullptr;
std::atomic<long> g_users{0};  // live objects and server locks

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  // The factory is static: its references only keep the module loaded.
  ULONG STDMETHODCALLTYPE AddRef() override {
    moduleAddRef();
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    moduleRelease();
    return 1;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object) *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return createControl(iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      moduleAddRef();
    else
      moduleRelease();
    return S_OK;
  }
};

ClassFactory g_factory;

std::wstring guidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring classKey() {
  return L"Software\\Classes\\CLSID\\" + guidText(CLSID_PageView);
}

LSTATUS setValue(HKEY root, const std::wstring& key, const wchar_t* name,
                 const std::wstring& value) {
  HKEY handle = nullptr;
  LSTATUS status = RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_SET_VALUE, nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return status;
}

HRESULT registerServer(HKEY root) {
  wchar_t path[MAX_PATH * 2] = {};
  DWORD length = GetModuleFileNameW(g_instance, path, MAX_PATH * 2);
  if (length == 0 || length >= MAX_PATH * 2) return SELFREG_E_CLASS;
  const std::wstring key = classKey();
  const std::wstring miscStatus =
      std::to_wstring(OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                      OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST);
  const struct {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
  } entries[] = {
      {key, nullptr, L"Folirex page view control"},
      {key + L"\\InprocServer32", nullptr, path},
      {key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {key + L"\\Control", nullptr, L""},
      {key + L"\\MiscStatus", nullptr, L"0"},
      {key + L"\\MiscStatus\\1", nullptr, miscStatus},
  };
  for (const auto& entry : entries)
    if (setValue(root, entry.key, entry.name, entry.value) != ERROR_SUCCESS) {
      RegDeleteTreeW(root, key.c_str());
      return SELFREG_E_CLASS;
    }
  return S_OK;
}

HRESULT unregisterServer(HKEY root) {
  LSTATUS status = RegDeleteTreeW(root, classKey().c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}

}  // namespace

HINSTANCE moduleInstance() {
  if (!g_instance) {
    // Linked into a program instead of the DLL: the module holding this code.
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&moduleInstance), &g_instance);
  }
  return g_instance;
}

void moduleAddRef() {
  ++g_users;
}
void moduleRelease() {
  --g_users;
}
bool moduleInUse() {
  return g_users > 0;
}

}  // namespace mipv

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    mipv::g_instance = instance;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && !reserved) {
    mipv::unregisterViewClass();
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return mipv::moduleInUse() ? S_FALSE : S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (clsid != mipv::CLSID_PageView) return CLASS_E_CLASSNOTAVAILABLE;
  return mipv::g_factory.QueryInterface(iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  return mipv::registerServer(HKEY_LOCAL_MACHINE);
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return mipv::unregisterServer(HKEY_LOCAL_MACHINE);
}

// regsvr32 /i:user (with /n) registers for the current user alone, which needs
// no administrator; without "user" it does what DllRegisterServer does.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine) {
  HKEY root =
      commandLine && lstrcmpiW(commandLine, L"user") == 0 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  return install ? mipv::registerServer(root) : mipv::unregisterServer(root);
}
