// scribane: the ink capture control, as seen by a host.
//
// libscribane.so is an in-process component server holding one windowed control,
// the coclass InkControl (ProgIDs "Scribane.InkControl" and "Scribane.InkControl.1").
// This header is all a host needs: the component types (HRESULT, GUID, BSTR, VARIANT,
// SAFEARRAY, DISPPARAMS), the interfaces in their familiar method order, and inline
// helpers that find the server through the file-based class registry and load it with
// dlopen. A host never links the library.
//
// Conventions shared by host and control:
// - Every interface method returns an HRESULT and never throws.
// - BSTR is length-prefixed UTF-16 (char16_t), allocated with malloc by the inline
//   SysAlloc* functions below, so memory can cross the module boundary in both
//   directions. The caller frees what it receives (SysFreeString, VariantClear).
// - HWND is a native window id (QWidget::winId()). The control's window is a child Qt
//   widget, so the host process must own a QApplication and run its event loop on the
//   thread that activates the control; all calls come from that thread.
// - HDC is a pointer to a ScribaneSurface: a 32-bit RGB raster (QImage::Format_RGB32
//   layout, 0xffRRGGBB) with a clip box. IViewObject::Draw paints into it.
// - IDispatch::Invoke returns the member's own HRESULT (for example 0x800A017C for an
//   invalid value) and also copies it to EXCEPINFO::scode when one is passed.
//
// Class registry: a text file standing in for HKEY_CLASSES_ROOT, at $SCRIBANE_REGISTRY
// when that is set, else $XDG_CONFIG_HOME/scribane/registry, else
// ~/.config/scribane/registry. DllRegisterServer writes it, DllUnregisterServer removes
// the control's keys again; scribane::registerServer() does both for a module path.
#pragma once

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <map>
#include <string>

// ---------------------------------------------------------------------------------------
// Basic types

typedef int32_t HRESULT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef uint8_t BYTE;
typedef int32_t INT;
typedef uint32_t UINT;
typedef int32_t BOOL;
typedef uintptr_t ULONG_PTR;
typedef int16_t VARIANT_BOOL;
typedef uint16_t VARTYPE;
typedef int32_t DISPID;
typedef uint32_t LCID;
typedef uint32_t OLE_COLOR;
typedef char16_t OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
typedef OLECHAR* BSTR;
typedef uintptr_t HWND; // native window id

#define SCRIBANE_HR(x) static_cast<HRESULT>(static_cast<uint32_t>(x))
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = SCRIBANE_HR(0x80004001);
constexpr HRESULT E_NOINTERFACE = SCRIBANE_HR(0x80004002);
constexpr HRESULT E_POINTER = SCRIBANE_HR(0x80004003);
constexpr HRESULT E_FAIL = SCRIBANE_HR(0x80004005);
constexpr HRESULT E_UNEXPECTED = SCRIBANE_HR(0x8000FFFF);
constexpr HRESULT E_OUTOFMEMORY = SCRIBANE_HR(0x8007000E);
constexpr HRESULT E_INVALIDARG = SCRIBANE_HR(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = SCRIBANE_HR(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = SCRIBANE_HR(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = SCRIBANE_HR(0x80040154);
constexpr HRESULT CO_E_CLASSSTRING = SCRIBANE_HR(0x800401F3);
constexpr HRESULT CO_E_DLLNOTFOUND = SCRIBANE_HR(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = SCRIBANE_HR(0x800401F9);
constexpr HRESULT SELFREG_E_CLASS = SCRIBANE_HR(0x80040201);
constexpr HRESULT CONNECT_E_NOCONNECTION = SCRIBANE_HR(0x80040200);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = SCRIBANE_HR(0x80040202);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = SCRIBANE_HR(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = SCRIBANE_HR(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = SCRIBANE_HR(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = SCRIBANE_HR(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = SCRIBANE_HR(0x80020006);
constexpr HRESULT DISP_E_BADPARAMCOUNT = SCRIBANE_HR(0x8002000E);
constexpr HRESULT DISP_E_BADVARTYPE = SCRIBANE_HR(0x80020008);
constexpr HRESULT DISP_E_OVERFLOW = SCRIBANE_HR(0x8002000A);
constexpr HRESULT STG_E_FILENOTFOUND = SCRIBANE_HR(0x80030002);
constexpr HRESULT STG_E_READFAULT = SCRIBANE_HR(0x8003001E);
constexpr HRESULT STG_E_WRITEFAULT = SCRIBANE_HR(0x8003001D);
constexpr HRESULT OLEOBJ_E_NOVERBS = SCRIBANE_HR(0x80040180);
// The control's own errors.
constexpr HRESULT CTL_E_INVALIDPROPERTYVALUE = SCRIBANE_HR(0x800A017C);
constexpr HRESULT CTL_E_SETNOTSUPPORTED = SCRIBANE_HR(0x800A017F);
constexpr HRESULT CTL_E_GETNOTSUPPORTED = SCRIBANE_HR(0x800A018A);
#undef SCRIBANE_HR

inline bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
inline bool FAILED(HRESULT hr) {
    return hr < 0;
}

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool operator==(REFGUID a, REFGUID b) {
    return IsEqualGUID(a, b);
}

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    int64_t QuadPart;
};
union ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    uint64_t QuadPart;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
typedef RECT RECTL;
typedef const RECT* LPCRECT;
typedef const RECTL* LPCRECTL;
struct SIZEL {
    LONG cx;
    LONG cy;
};

// The drawing target of IViewObject::Draw.
struct ScribaneSurface {
    uint32_t* pixels; // top-down rows of 0xffRRGGBB
    LONG width;
    LONG height;
    LONG strideBytes;
    RECT clip; // clip box in surface coordinates, right and bottom exclusive
};
typedef ScribaneSurface* HDC;

// Types of methods the control does not implement; hosts pass null.
struct MSG;
struct IMoniker;
struct IDataObject;
struct IEnumOLEVERB;
struct IAdviseSink;
struct IEnumSTATDATA;
struct LOGPALETTE;
struct IOleContainer;
struct CONTROLINFO;
struct DVTARGETDEVICE;
struct ITypeInfo;
struct IErrorLog;
struct IEnumConnectionPoints;
struct IEnumConnections;
struct IEnumSTATSTG;
struct STATSTG;
struct FILETIME;
typedef LPOLESTR* SNB;

// ---------------------------------------------------------------------------------------
// BSTR: a 32-bit byte count, then the UTF-16 text, then a 16-bit terminator. The BSTR
// points at the text. A null BSTR is the empty text.

inline BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    if (length > (UINT32_MAX - 6) / 2)
        return nullptr;
    auto* block = static_cast<char*>(std::malloc(4 + size_t(length) * 2 + 2));
    if (!block)
        return nullptr;
    uint32_t bytes = length * 2;
    std::memcpy(block, &bytes, 4);
    auto* out = reinterpret_cast<BSTR>(block + 4);
    if (text)
        std::memcpy(out, text, size_t(length) * 2);
    else
        std::memset(out, 0, size_t(length) * 2);
    out[length] = 0;
    return out;
}

inline BSTR SysAllocString(const OLECHAR* text) {
    if (!text)
        return nullptr;
    UINT n = 0;
    while (text[n])
        ++n;
    return SysAllocStringLen(text, n);
}

inline void SysFreeString(BSTR s) {
    if (s)
        std::free(reinterpret_cast<char*>(s) - 4);
}

inline UINT SysStringByteLen(BSTR s) {
    if (!s)
        return 0;
    uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<char*>(s) - 4, 4);
    return bytes;
}

inline UINT SysStringLen(BSTR s) {
    return SysStringByteLen(s) / 2;
}

// ---------------------------------------------------------------------------------------
// VARIANT and SAFEARRAY

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0fff,
};

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};

struct IUnknown;
struct IDispatch;

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        int64_t llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        ULONG ulVal;
        VARIANT_BOOL boolVal;
        HRESULT scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        BYTE* pbVal;
        SHORT* piVal;
        LONG* plVal;
        VARIANT_BOOL* pboolVal;
        BSTR* pbstrVal;
        SAFEARRAY** pparray;
        VARIANT* pvarVal;
        void* byref;
        struct {
            void* pvRecord;
            void* pRecInfo;
        } brecVal;
    };
};
typedef VARIANT VARIANTARG;

// Only one-dimensional arrays of fixed-size elements (VT_UI1, VT_I2, VT_I4) are made.
inline SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG count) {
    ULONG size = vt == VT_UI1 ? 1 : vt == VT_I2 ? 2 : vt == VT_I4 ? 4 : 0;
    if (size == 0 || count > UINT32_MAX / size)
        return nullptr;
    auto* sa = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
    if (!sa)
        return nullptr;
    sa->cDims = 1;
    sa->cbElements = size;
    sa->rgsabound[0].cElements = count;
    sa->rgsabound[0].lLbound = lowerBound;
    sa->pvData = std::calloc(count ? count : 1, size);
    if (!sa->pvData) {
        std::free(sa);
        return nullptr;
    }
    return sa;
}

inline HRESULT SafeArrayDestroy(SAFEARRAY* sa) {
    if (sa) {
        std::free(sa->pvData);
        std::free(sa);
    }
    return S_OK;
}

inline UINT SafeArrayGetDim(SAFEARRAY* sa) {
    return sa ? sa->cDims : 0;
}

inline HRESULT SafeArrayGetLBound(SAFEARRAY* sa, UINT dim, LONG* out) {
    if (!sa || !out || dim != 1 || sa->cDims != 1)
        return E_INVALIDARG;
    *out = sa->rgsabound[0].lLbound;
    return S_OK;
}

inline HRESULT SafeArrayGetUBound(SAFEARRAY* sa, UINT dim, LONG* out) {
    if (!sa || !out || dim != 1 || sa->cDims != 1)
        return E_INVALIDARG;
    *out = LONG(int64_t(sa->rgsabound[0].lLbound) + sa->rgsabound[0].cElements - 1);
    return S_OK;
}

inline HRESULT SafeArrayAccessData(SAFEARRAY* sa, void** data) {
    if (!sa || !data)
        return E_INVALIDARG;
    ++sa->cLocks;
    *data = sa->pvData;
    return S_OK;
}

inline HRESULT SafeArrayUnaccessData(SAFEARRAY* sa) {
    if (!sa || sa->cLocks == 0)
        return E_UNEXPECTED;
    --sa->cLocks;
    return S_OK;
}

inline void VariantInit(VARIANT* v) {
    std::memset(static_cast<void*>(v), 0, sizeof(VARIANT));
    v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v); // defined below, after IUnknown

// ---------------------------------------------------------------------------------------
// Automation

struct DISPPARAMS {
    VARIANTARG* rgvarg; // arguments in reverse order: rgvarg[0] is the last one
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    void* pvReserved;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
    HRESULT scode;
};

constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr DISPID DISPID_AMBIENT_USERMODE = -709;

// ---------------------------------------------------------------------------------------
// Well-known identities

constexpr IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
constexpr IID IID_IUnknown = {0x00000000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IClassFactory = {0x00000001, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IDispatch = {0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IStorage = {0x0000000B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IStream = {0x0000000C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_ISequentialStream = {
    0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
constexpr IID IID_IPersist = {0x0000010C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IPersistStorage = {0x0000010A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IPersistStreamInit = {
    0x7FD52380, 0x4E07, 0x101B, {0xAE, 0x2D, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13}};
constexpr IID IID_IPersistPropertyBag = {
    0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
constexpr IID IID_IPropertyBag = {
    0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
constexpr IID IID_IOleObject = {0x00000112, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IOleInPlaceObject = {0x00000113, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IOleWindow = {0x00000114, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IOleClientSite = {0x00000118, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IViewObject = {0x0000010D, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IOleControl = {
    0xB196B288, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
constexpr IID IID_IConnectionPointContainer = {
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
constexpr IID IID_IConnectionPoint = {
    0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
constexpr IID IID_IPropertyNotifySink = {
    0x9BFBBC02, 0xEFF1, 0x101A, {0x84, 0xED, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
constexpr IID IID_IProvideClassInfo = {
    0xB196B283, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
constexpr IID IID_IProvideClassInfo2 = {
    0xA6BC3AC0, 0xDBAA, 0x11CE, {0x9D, 0xE3, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};

// The ink control.
constexpr GUID LIBID_Scribane = {
    0x4D174960, 0x7DA3, 0x11D4, {0x92, 0x70, 0x00, 0x10, 0x5A, 0xA9, 0xA0, 0x7C}};
constexpr IID IID_IInkControl = {
    0x4D17496C, 0x7DA3, 0x11D4, {0x92, 0x70, 0x00, 0x10, 0x5A, 0xA9, 0xA0, 0x7C}};
constexpr IID DIID_IInkControlEvents = {
    0x4D17496E, 0x7DA3, 0x11D4, {0x92, 0x70, 0x00, 0x10, 0x5A, 0xA9, 0xA0, 0x7C}};
constexpr CLSID CLSID_InkControl = {
    0x4D17496D, 0x7DA3, 0x11D4, {0x92, 0x70, 0x00, 0x10, 0x5A, 0xA9, 0xA0, 0x7C}};

// DISPIDs of IInkControl.
enum InkControlDispId : DISPID {
    DISPID_INK_BACKCOLOR = -501,
    DISPID_INK_FORECOLOR = -513,
    DISPID_INK_ENABLED = -514,
    DISPID_INK_CLEAR = -554,
    DISPID_INK_REFRESH = -550,
    DISPID_INK_ABOUTBOX = -552,
    DISPID_INK_SAVEIMAGE = 1,
    DISPID_INK_LOADIMAGE = 2,
    DISPID_INK_IMAGEDATA = 3,
    DISPID_INK_HWND = -515,
    DISPID_INK_BORDERWIDTH = -505,
    DISPID_INK_BORDERCOLOR = -503,
    DISPID_INK_PENWIDTH = 4,
    DISPID_INK_MODIFIED = 5,
    DISPID_INK_ROTATION = 6,
    DISPID_INK_BACKIMAGE = 7,
    DISPID_INK_SETBACKIMAGE = 8,
    DISPID_INK_SENDMOUSEDOWN = 9,
    DISPID_INK_SENDMOUSEMOVE = 10,
    DISPID_INK_SENDMOUSEUP = 11,
};

// DISPIDs of IInkControlEvents. Each event is a method call with four arguments:
// Button (VT_I2: 1 left, 2 right, 4 middle), Shift (VT_I2: 1 Shift, 2 Control, 4 Alt),
// X and Y (VT_I4, window coordinates, border included).
enum InkControlEventDispId : DISPID {
    DISPID_INK_MOUSEDOWN = -605,
    DISPID_INK_MOUSEMOVE = -606,
    DISPID_INK_MOUSEUP = -607,
};

// IOleObject::DoVerb verbs the control understands.
constexpr LONG OLEIVERB_PRIMARY = 0;
constexpr LONG OLEIVERB_SHOW = -1;
constexpr LONG OLEIVERB_HIDE = -3;
constexpr LONG OLEIVERB_UIACTIVATE = -4;
constexpr LONG OLEIVERB_INPLACEACTIVATE = -5;
constexpr DWORD OLECLOSE_SAVEIFDIRTY = 0;
constexpr DWORD OLECLOSE_NOSAVE = 1;
constexpr DWORD DVASPECT_CONTENT = 1;
constexpr DWORD GUIDKIND_DEFAULT_SOURCE_DISP_IID = 1;
constexpr DWORD STGM_READ = 0x0;
constexpr DWORD STGM_WRITE = 0x1;
constexpr DWORD STGM_READWRITE = 0x2;
constexpr DWORD STGM_SHARE_EXCLUSIVE = 0x10;
constexpr DWORD STGM_CREATE = 0x1000;
constexpr DWORD STREAM_SEEK_SET = 0;
constexpr DWORD STREAM_SEEK_CUR = 1;
constexpr DWORD STREAM_SEEK_END = 2;

// ---------------------------------------------------------------------------------------
// Interfaces, in the platform's method order.

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;
};

struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
    virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                  DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) = 0;
};

// The control's dual interface: the IDispatch members, then every member in dispatch
// order, the property get before its put.
struct IInkControl : IDispatch {
    virtual HRESULT get_BackColor(OLE_COLOR* value) = 0;
    virtual HRESULT put_BackColor(OLE_COLOR value) = 0;
    virtual HRESULT get_ForeColor(OLE_COLOR* value) = 0;
    virtual HRESULT put_ForeColor(OLE_COLOR value) = 0;
    virtual HRESULT get_Enabled(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_Enabled(VARIANT_BOOL value) = 0;
    virtual HRESULT Clear() = 0;
    virtual HRESULT Refresh() = 0;
    virtual HRESULT AboutBox() = 0;
    virtual HRESULT SaveImage(BSTR filename) = 0;
    virtual HRESULT LoadImage(BSTR filename) = 0;
    virtual HRESULT get_ImageData(VARIANT* value) = 0;
    virtual HRESULT put_ImageData(VARIANT value) = 0;
    virtual HRESULT get_hWnd(LONG* value) = 0;
    virtual HRESULT get_BorderWidth(LONG* value) = 0;
    virtual HRESULT put_BorderWidth(LONG value) = 0;
    virtual HRESULT get_BorderColor(OLE_COLOR* value) = 0;
    virtual HRESULT put_BorderColor(OLE_COLOR value) = 0;
    virtual HRESULT get_PenWidth(LONG* value) = 0;
    virtual HRESULT put_PenWidth(LONG value) = 0;
    virtual HRESULT get_Modified(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_Modified(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Rotation(LONG* value) = 0;
    virtual HRESULT put_Rotation(LONG value) = 0;
    virtual HRESULT get_BackImage(BSTR* value) = 0;
    virtual HRESULT put_BackImage(BSTR value) = 0;
    virtual HRESULT SetBackImage(VARIANT image) = 0;
    virtual HRESULT get_SendMouseDown(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_SendMouseDown(VARIANT_BOOL value) = 0;
    virtual HRESULT get_SendMouseMove(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_SendMouseMove(VARIANT_BOOL value) = 0;
    virtual HRESULT get_SendMouseUp(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_SendMouseUp(VARIANT_BOOL value) = 0;
};

// Event sinks implement IDispatch and answer DIID_IInkControlEvents (or IID_IDispatch).
struct IInkControlEvents : IDispatch {};

struct IConnectionPointContainer;

struct IConnectionPoint : IUnknown {
    virtual HRESULT GetConnectionInterface(IID* iid) = 0;
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) = 0;
    virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
    virtual HRESULT Unadvise(DWORD cookie) = 0;
    virtual HRESULT EnumConnections(IEnumConnections** connections) = 0;
};

struct IConnectionPointContainer : IUnknown {
    virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) = 0;
    virtual HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** point) = 0;
};

struct IPropertyNotifySink : IUnknown {
    virtual HRESULT OnChanged(DISPID id) = 0;
    virtual HRESULT OnRequestEdit(DISPID id) = 0; // S_FALSE refuses the change
};

struct ISequentialStream : IUnknown {
    virtual HRESULT Read(void* buffer, ULONG count, ULONG* read) = 0;
    virtual HRESULT Write(const void* buffer, ULONG count, ULONG* written) = 0;
};

struct IStream : ISequentialStream {
    virtual HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) = 0;
    virtual HRESULT SetSize(ULARGE_INTEGER size) = 0;
    virtual HRESULT CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                           ULARGE_INTEGER* written) = 0;
    virtual HRESULT Commit(DWORD flags) = 0;
    virtual HRESULT Revert() = 0;
    virtual HRESULT LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type) = 0;
    virtual HRESULT UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type) = 0;
    virtual HRESULT Stat(STATSTG* stat, DWORD flags) = 0;
    virtual HRESULT Clone(IStream** stream) = 0;
};

struct IStorage : IUnknown {
    virtual HRESULT CreateStream(LPCOLESTR name, DWORD mode, DWORD reserved1, DWORD reserved2,
                                 IStream** stream) = 0;
    virtual HRESULT OpenStream(LPCOLESTR name, void* reserved1, DWORD mode, DWORD reserved2,
                               IStream** stream) = 0;
    virtual HRESULT CreateStorage(LPCOLESTR name, DWORD mode, DWORD reserved1, DWORD reserved2,
                                  IStorage** storage) = 0;
    virtual HRESULT OpenStorage(LPCOLESTR name, IStorage* priority, DWORD mode, SNB exclude,
                                DWORD reserved, IStorage** storage) = 0;
    virtual HRESULT CopyTo(DWORD count, const IID* exclude, SNB excludeNames, IStorage* target) = 0;
    virtual HRESULT MoveElementTo(LPCOLESTR name, IStorage* target, LPCOLESTR newName,
                                  DWORD flags) = 0;
    virtual HRESULT Commit(DWORD flags) = 0;
    virtual HRESULT Revert() = 0;
    virtual HRESULT EnumElements(DWORD reserved1, void* reserved2, DWORD reserved3,
                                 IEnumSTATSTG** elements) = 0;
    virtual HRESULT DestroyElement(LPCOLESTR name) = 0;
    virtual HRESULT RenameElement(LPCOLESTR oldName, LPCOLESTR newName) = 0;
    virtual HRESULT SetElementTimes(LPCOLESTR name, const FILETIME* created,
                                    const FILETIME* accessed, const FILETIME* modified) = 0;
    virtual HRESULT SetClass(REFCLSID clsid) = 0;
    virtual HRESULT SetStateBits(DWORD bits, DWORD mask) = 0;
    virtual HRESULT Stat(STATSTG* stat, DWORD flags) = 0;
};

struct IPersist : IUnknown {
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
};

struct IPersistStreamInit : IPersist {
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(IStream* stream) = 0;
    virtual HRESULT Save(IStream* stream, BOOL clearDirty) = 0;
    virtual HRESULT GetSizeMax(ULARGE_INTEGER* size) = 0;
    virtual HRESULT InitNew() = 0;
};

// The storage-based save writes the same bytes into a stream named "Contents".
struct IPersistStorage : IPersist {
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT InitNew(IStorage* storage) = 0;
    virtual HRESULT Load(IStorage* storage) = 0;
    virtual HRESULT Save(IStorage* storage, BOOL sameAsLoad) = 0;
    virtual HRESULT SaveCompleted(IStorage* storage) = 0;
    virtual HRESULT HandsOffStorage() = 0;
};

struct IPropertyBag : IUnknown {
    virtual HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) = 0;
    virtual HRESULT Write(LPCOLESTR name, VARIANT* value) = 0;
};

struct IPersistPropertyBag : IPersist {
    virtual HRESULT InitNew() = 0;
    virtual HRESULT Load(IPropertyBag* bag, IErrorLog* log) = 0;
    virtual HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAllProperties) = 0;
};

// The container's site. The control asks it for IDispatch and reads the ambient user
// mode (DISPID_AMBIENT_USERMODE, a VT_BOOL); false means design mode.
struct IOleClientSite : IUnknown {
    virtual HRESULT SaveObject() = 0;
    virtual HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) = 0;
    virtual HRESULT GetContainer(IOleContainer** container) = 0;
    virtual HRESULT ShowObject() = 0;
    virtual HRESULT OnShowWindow(BOOL show) = 0;
    virtual HRESULT RequestNewObjectLayout() = 0;
};

// Placing the control: SetClientSite, then DoVerb(OLEIVERB_INPLACEACTIVATE or
// OLEIVERB_SHOW, null, site, 0, parent window id, position rectangle in the parent's
// coordinates). The window is created as a child of the parent (an in-process QWidget,
// or else a foreign native window). IOleInPlaceObject::SetObjectRects moves and sizes it;
// it may also be called before activation to give a window-less control its size.
// Close and InPlaceDeactivate destroy the window; the ink stays.
struct IOleObject : IUnknown {
    virtual HRESULT SetClientSite(IOleClientSite* site) = 0;
    virtual HRESULT GetClientSite(IOleClientSite** site) = 0;
    virtual HRESULT SetHostNames(LPCOLESTR app, LPCOLESTR object) = 0;
    virtual HRESULT Close(DWORD saveOption) = 0;
    virtual HRESULT SetMoniker(DWORD which, IMoniker* moniker) = 0;
    virtual HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) = 0;
    virtual HRESULT InitFromData(IDataObject* data, BOOL creation, DWORD reserved) = 0;
    virtual HRESULT GetClipboardData(DWORD reserved, IDataObject** data) = 0;
    virtual HRESULT DoVerb(LONG verb, MSG* msg, IOleClientSite* site, LONG index, HWND parent,
                           LPCRECT position) = 0;
    virtual HRESULT EnumVerbs(IEnumOLEVERB** verbs) = 0;
    virtual HRESULT Update() = 0;
    virtual HRESULT IsUpToDate() = 0;
    virtual HRESULT GetUserClassID(CLSID* clsid) = 0;
    virtual HRESULT GetUserType(DWORD form, LPOLESTR* name) = 0;
    virtual HRESULT SetExtent(DWORD aspect, SIZEL* size) = 0;
    virtual HRESULT GetExtent(DWORD aspect, SIZEL* size) = 0;
    virtual HRESULT Advise(IAdviseSink* sink, DWORD* connection) = 0;
    virtual HRESULT Unadvise(DWORD connection) = 0;
    virtual HRESULT EnumAdvise(IEnumSTATDATA** advise) = 0;
    virtual HRESULT GetMiscStatus(DWORD aspect, DWORD* status) = 0;
    virtual HRESULT SetColorScheme(LOGPALETTE* palette) = 0;
};

struct IOleWindow : IUnknown {
    virtual HRESULT GetWindow(HWND* window) = 0;
    virtual HRESULT ContextSensitiveHelp(BOOL enter) = 0;
};

struct IOleInPlaceObject : IOleWindow {
    virtual HRESULT InPlaceDeactivate() = 0;
    virtual HRESULT UIDeactivate() = 0;
    virtual HRESULT SetObjectRects(LPCRECT position, LPCRECT clip) = 0;
    virtual HRESULT ReactivateAndUndo() = 0;
};

// OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE or DISPID_UNKNOWN) reads the
// ambient user mode again.
struct IOleControl : IUnknown {
    virtual HRESULT GetControlInfo(CONTROLINFO* info) = 0;
    virtual HRESULT OnMnemonic(MSG* msg) = 0;
    virtual HRESULT OnAmbientPropertyChange(DISPID id) = 0;
    virtual HRESULT FreezeEvents(BOOL freeze) = 0;
};

// Draw paints the control (frame, background, ink) into `target` within `bounds`,
// limited to the target's clip box. Only DVASPECT_CONTENT is supported.
struct IViewObject : IUnknown {
    virtual HRESULT Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                         HDC targetDevice, HDC target, LPCRECTL bounds, LPCRECTL metaBounds,
                         BOOL (*keepGoing)(ULONG_PTR), ULONG_PTR keepGoingArg) = 0;
    virtual HRESULT GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                                HDC targetDevice, LOGPALETTE** colors) = 0;
    virtual HRESULT Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) = 0;
    virtual HRESULT Unfreeze(DWORD freeze) = 0;
    virtual HRESULT SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) = 0;
    virtual HRESULT GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) = 0;
};

struct IProvideClassInfo : IUnknown {
    virtual HRESULT GetClassInfo(ITypeInfo** info) = 0;
};

struct IProvideClassInfo2 : IProvideClassInfo {
    virtual HRESULT GetGUID(DWORD kind, GUID* guid) = 0;
};

inline HRESULT VariantClear(VARIANT* v) {
    if (!v)
        return E_INVALIDARG;
    if (!(v->vt & VT_BYREF)) {
        if (v->vt & VT_ARRAY) {
            // Arrays of BSTR or interfaces are never made here; free the block only.
            SafeArrayDestroy(v->parray);
        } else if (v->vt == VT_BSTR) {
            SysFreeString(v->bstrVal);
        } else if ((v->vt == VT_UNKNOWN || v->vt == VT_DISPATCH) && v->punkVal) {
            v->punkVal->Release();
        }
    }
    VariantInit(v);
    return S_OK;
}

// ---------------------------------------------------------------------------------------
// Exported entry points of the server module.

typedef HRESULT (*DllGetClassObjectFn)(REFCLSID clsid, REFIID riid, void** object);
typedef HRESULT (*DllCanUnloadNowFn)();
typedef HRESULT (*DllRegisterServerFn)();
typedef HRESULT (*DllUnregisterServerFn)();

// ---------------------------------------------------------------------------------------
// Host-side helpers: text conversion, GUID text, the class registry and object creation.

namespace scribane {

// Reference counting for the objects a host hands to the control (a site, an
// event sink, a stream): made with new at a count of one, gone with the last
// Release. A class with more than one interface declares AddRef and Release
// once more, forwarding here, so that every base shares this one count.
template <class Interface> class Counted : public Interface {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG n = --refs_;
        if (n == 0) {
            delete this;
        }
        return n;
    }
    virtual ~Counted() = default;

protected:
    // QueryInterface's ending: hands out `p` with a reference, or none.
    HRESULT answer(void** object, void* p) {
        *object = p;
        if (p == nullptr) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }

private:
    std::atomic<ULONG> refs_{1};
};

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
inline std::string toUtf8(const char16_t* text, size_t length) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

inline std::string toUtf8(const char16_t* text) {
    size_t n = 0;
    while (text && text[n])
        ++n;
    return toUtf8(text, n);
}

// UTF-8 to UTF-16; malformed bytes become U+FFFD.
inline std::u16string toUtf16(const std::string& text) {
    std::u16string out;
    size_t i = 0;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        uint32_t c = 0xFFFD;
        size_t extra = b < 0x80         ? 0
                       : (b >> 5) == 6  ? 1
                       : (b >> 4) == 14 ? 2
                       : (b >> 3) == 30 ? 3
                                        : 9;
        if (extra == 0) {
            c = b;
            i += 1;
        } else if (extra <= 3 && i + extra < text.size()) {
            c = b & (0x3F >> extra);
            bool ok = true;
            for (size_t k = 1; k <= extra; ++k) {
                auto n = static_cast<unsigned char>(text[i + k]);
                if ((n & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                c = (c << 6) | (n & 0x3F);
            }
            i += ok ? extra + 1 : 1;
            if (!ok || c > 0x10FFFF)
                c = 0xFFFD;
        } else {
            i += 1;
        }
        if (c >= 0x10000) {
            out += char16_t(0xD800 + ((c - 0x10000) >> 10));
            out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
    return out;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
inline std::string guidToString(REFGUID g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  unsigned(g.Data1), unsigned(g.Data2), unsigned(g.Data3), g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

inline bool guidFromString(const std::string& text, GUID* out) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}')
        return false;
    uint8_t bytes[16];
    int n = 0;
    for (size_t i = 1; i < 37;) {
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (text[i] != '-')
                return false;
            ++i;
            continue;
        }
        int v = 0;
        for (int k = 0; k < 2; ++k) {
            char c = text[i + k];
            int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
            if (d < 0)
                return false;
            v = v * 16 + d;
        }
        bytes[n++] = uint8_t(v);
        i += 2;
    }
    if (n != 16)
        return false;
    out->Data1 =
        uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
    out->Data2 = uint16_t(bytes[4] << 8 | bytes[5]);
    out->Data3 = uint16_t(bytes[6] << 8 | bytes[7]);
    std::memcpy(out->Data4, bytes + 8, 8);
    return true;
}

// Where the class registry lives (see the top of this header).
inline std::string registryPath() {
    if (const char* p = std::getenv("SCRIBANE_REGISTRY"); p && *p)
        return p;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        return std::string(x) + "/scribane/registry";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/scribane/registry";
}

// Registry keys compare without regard to ASCII letter case, as on the platform.
struct KeyLess {
    bool operator()(const std::string& a, const std::string& b) const {
        size_t n = a.size() < b.size() ? a.size() : b.size();
        for (size_t i = 0; i < n; ++i) {
            int ca = (a[i] >= 'A' && a[i] <= 'Z') ? a[i] + 32 : (unsigned char)a[i];
            int cb = (b[i] >= 'A' && b[i] <= 'Z') ? b[i] + 32 : (unsigned char)b[i];
            if (ca != cb)
                return ca < cb;
        }
        return a.size() < b.size();
    }
};

// The registry file, in the familiar .reg text layout:
//   [Scribane.InkControl\CLSID]
//   @="{4D17496D-7DA3-11D4-9270-00105AA9A07C}"
//   "ThreadingModel"="Both"
// Keys are paths below HKEY_CLASSES_ROOT; "@" names the default value; values are
// quoted texts with \\ and \" escapes. Lines starting with ';' are comments.
using RegistryValues = std::map<std::string, std::string, KeyLess>;
using RegistryKeys = std::map<std::string, RegistryValues, KeyLess>;

namespace detail {
inline bool readQuoted(const std::string& line, size_t& i, std::string& out) {
    if (i >= line.size() || line[i] != '"')
        return false;
    ++i;
    out.clear();
    while (i < line.size() && line[i] != '"') {
        if (line[i] == '\\' && i + 1 < line.size()) {
            ++i;
            out += line[i] == 'n' ? '\n' : line[i];
        } else {
            out += line[i];
        }
        ++i;
    }
    if (i >= line.size())
        return false;
    ++i;
    return true;
}
} // namespace detail

// Reads the registry; a missing file is an empty registry. Malformed lines are skipped.
inline RegistryKeys readRegistry(const std::string& path) {
    RegistryKeys keys;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return keys;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && text.size() < (16u << 20))
        text.append(buf, n);
    std::fclose(f);
    RegistryValues* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[' && line.back() == ']') {
            current = &keys[line.substr(1, line.size() - 2)];
            continue;
        }
        if (!current)
            continue;
        size_t i = 0;
        std::string name, value;
        if (line[0] == '@') {
            name = "@";
            i = 1;
        } else if (!detail::readQuoted(line, i, name)) {
            continue;
        }
        if (i >= line.size() || line[i] != '=')
            continue;
        ++i;
        if (!detail::readQuoted(line, i, value))
            continue;
        (*current)[name] = value;
    }
    return keys;
}

inline bool registryValue(const RegistryKeys& keys, const std::string& key, const std::string& name,
                          std::string* out) {
    auto k = keys.find(key);
    if (k == keys.end())
        return false;
    auto v = k->second.find(name);
    if (v == k->second.end())
        return false;
    if (out)
        *out = v->second;
    return true;
}

// Loads a server module once per process; modules are never unloaded, since their
// widget code may still be referenced by the application's event loop.
inline void* loadModule(const std::string& path) {
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

// What regsvr32 does: load the module and call DllRegisterServer (or DllUnregisterServer).
inline HRESULT registerServer(const char* modulePath, bool unregister = false) {
    void* module = loadModule(modulePath);
    if (!module)
        return CO_E_DLLNOTFOUND;
    auto fn = reinterpret_cast<DllRegisterServerFn>(
        dlsym(module, unregister ? "DllUnregisterServer" : "DllRegisterServer"));
    if (!fn)
        return CO_E_ERRORINDLL;
    return fn();
}

} // namespace scribane

// CLSID from "{...}" text.
inline HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid) {
    if (!text || !clsid)
        return E_INVALIDARG;
    return scribane::guidFromString(scribane::toUtf8(text), clsid) ? S_OK : CO_E_CLASSSTRING;
}

// Reads ProgID\CLSID from the class registry.
inline HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
    if (!progId || !clsid)
        return E_INVALIDARG;
    std::string text;
    auto keys = scribane::readRegistry(scribane::registryPath());
    if (!scribane::registryValue(keys, scribane::toUtf8(progId) + "\\CLSID", "@", &text))
        return CO_E_CLASSSTRING;
    return scribane::guidFromString(text, clsid) ? S_OK : REGDB_E_CLASSNOTREG;
}

// Loads the module that CLSID\{clsid}\InprocServer32 names and asks its class factory.
inline HRESULT CoGetClassObject(REFCLSID clsid, DWORD /*context*/, void* /*server*/, REFIID riid,
                                void** object) {
    if (!object)
        return E_INVALIDARG;
    *object = nullptr;
    std::string path;
    auto keys = scribane::readRegistry(scribane::registryPath());
    if (!scribane::registryValue(
            keys, "CLSID\\" + scribane::guidToString(clsid) + "\\InprocServer32", "@", &path) ||
        path.empty())
        return REGDB_E_CLASSNOTREG;
    void* module = scribane::loadModule(path);
    if (!module)
        return CO_E_DLLNOTFOUND;
    auto get = reinterpret_cast<DllGetClassObjectFn>(dlsym(module, "DllGetClassObject"));
    if (!get)
        return CO_E_ERRORINDLL;
    return get(clsid, riid, object);
}

inline HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid,
                                void** object) {
    if (!object)
        return E_INVALIDARG;
    *object = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(outer, riid, object);
    factory->Release();
    return hr;
}

namespace scribane {

// Creates an object from a ProgID ("Scribane.InkControl") or a "{CLSID}" text.
inline HRESULT createInstance(const char* progIdOrClsid, REFIID riid, void** object) {
    if (!progIdOrClsid || !object)
        return E_INVALIDARG;
    *object = nullptr;
    CLSID clsid;
    std::u16string name = toUtf16(progIdOrClsid);
    HRESULT hr = name.size() && name[0] == u'{' ? CLSIDFromString(name.c_str(), &clsid)
                                                : CLSIDFromProgID(name.c_str(), &clsid);
    if (FAILED(hr))
        return hr;
    return CoCreateInstance(clsid, nullptr, 1 /* in-process server */, riid, object);
}

} // namespace scribane
