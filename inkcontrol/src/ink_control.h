// The InkControl object: automation properties and methods, the edit protocol,
// events, persistence, in-place activation and the pen handling of its window.
#pragma once

#include "ink_core.h"

#include <QPointer>
#include <atomic>
#include <string>
#include <vector>

class QWindow;

namespace scribane {

class InkWidget;
class InkControl;

// Live objects and server locks, for DllCanUnloadNow.
extern std::atomic<long> g_liveObjects;
extern std::atomic<long> g_serverLocks;

// One connection point: the control's events (sinks are IDispatch) or property
// notifications (sinks are IPropertyNotifySink). Its lifetime is the control's.
class ConnectionPoint final : public IConnectionPoint {
public:
    ConnectionPoint(InkControl* owner, const IID& iid) : owner_(owner), iid_(iid) {}
    ~ConnectionPoint();
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetConnectionInterface(IID* iid) override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT Unadvise(DWORD cookie) override;
    HRESULT EnumConnections(IEnumConnections** connections) override;

    // The current sinks, each with a reference the caller releases; a copy, so that a
    // sink may unadvise while it is being called.
    std::vector<IUnknown*> sinks() const;

private:
    InkControl* owner_;
    IID iid_;
    DWORD nextCookie_ = 1;
    std::vector<std::pair<DWORD, IUnknown*>> sinks_;
};

class InkControl final : public IInkControl,
                         public IConnectionPointContainer,
                         public IPersistStreamInit,
                         public IPersistPropertyBag,
                         public IPersistStorage,
                         public IOleObject,
                         public IOleInPlaceObject,
                         public IOleControl,
                         public IViewObject,
                         public IProvideClassInfo2 {
public:
    InkControl();
    ~InkControl();
    InkControl(const InkControl&) = delete;
    InkControl& operator=(const InkControl&) = delete;

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IDispatch
    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                          DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

    // IInkControl
    HRESULT get_BackColor(OLE_COLOR* value) override;
    HRESULT put_BackColor(OLE_COLOR value) override;
    HRESULT get_ForeColor(OLE_COLOR* value) override;
    HRESULT put_ForeColor(OLE_COLOR value) override;
    HRESULT get_Enabled(VARIANT_BOOL* value) override;
    HRESULT put_Enabled(VARIANT_BOOL value) override;
    HRESULT Clear() override;
    HRESULT Refresh() override;
    HRESULT AboutBox() override;
    HRESULT SaveImage(BSTR filename) override;
    HRESULT LoadImage(BSTR filename) override;
    HRESULT get_ImageData(VARIANT* value) override;
    HRESULT put_ImageData(VARIANT value) override;
    HRESULT get_hWnd(LONG* value) override;
    HRESULT get_BorderWidth(LONG* value) override;
    HRESULT put_BorderWidth(LONG value) override;
    HRESULT get_BorderColor(OLE_COLOR* value) override;
    HRESULT put_BorderColor(OLE_COLOR value) override;
    HRESULT get_PenWidth(LONG* value) override;
    HRESULT put_PenWidth(LONG value) override;
    HRESULT get_Modified(VARIANT_BOOL* value) override;
    HRESULT put_Modified(VARIANT_BOOL value) override;
    HRESULT get_Rotation(LONG* value) override;
    HRESULT put_Rotation(LONG value) override;
    HRESULT get_BackImage(BSTR* value) override;
    HRESULT put_BackImage(BSTR value) override;
    HRESULT SetBackImage(VARIANT image) override;
    HRESULT get_SendMouseDown(VARIANT_BOOL* value) override;
    HRESULT put_SendMouseDown(VARIANT_BOOL value) override;
    HRESULT get_SendMouseMove(VARIANT_BOOL* value) override;
    HRESULT put_SendMouseMove(VARIANT_BOOL value) override;
    HRESULT get_SendMouseUp(VARIANT_BOOL* value) override;
    HRESULT put_SendMouseUp(VARIANT_BOOL value) override;

    // IConnectionPointContainer
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    // IPersist, IPersistStreamInit, IPersistPropertyBag, IPersistStorage
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, BOOL clearDirty) override;
    HRESULT GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT InitNew() override;
    HRESULT Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAllProperties) override;
    HRESULT InitNew(IStorage* storage) override;
    HRESULT Load(IStorage* storage) override;
    HRESULT Save(IStorage* storage, BOOL sameAsLoad) override;
    HRESULT SaveCompleted(IStorage* storage) override;
    HRESULT HandsOffStorage() override;

    // IOleObject
    HRESULT SetClientSite(IOleClientSite* site) override;
    HRESULT GetClientSite(IOleClientSite** site) override;
    HRESULT SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    HRESULT Close(DWORD saveOption) override;
    HRESULT SetMoniker(DWORD which, IMoniker* moniker) override;
    HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    HRESULT InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    HRESULT GetClipboardData(DWORD reserved, IDataObject** data) override;
    HRESULT DoVerb(LONG verb, MSG* msg, IOleClientSite* site, LONG index, HWND parent,
                   LPCRECT position) override;
    HRESULT EnumVerbs(IEnumOLEVERB** verbs) override;
    HRESULT Update() override;
    HRESULT IsUpToDate() override;
    HRESULT GetUserClassID(CLSID* clsid) override;
    HRESULT GetUserType(DWORD form, LPOLESTR* name) override;
    HRESULT SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT Advise(IAdviseSink* sink, DWORD* connection) override;
    HRESULT Unadvise(DWORD connection) override;
    HRESULT EnumAdvise(IEnumSTATDATA** advise) override;
    HRESULT GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT SetColorScheme(LOGPALETTE* palette) override;

    // IOleWindow, IOleInPlaceObject
    HRESULT GetWindow(HWND* window) override;
    HRESULT ContextSensitiveHelp(BOOL enter) override;
    HRESULT InPlaceDeactivate() override;
    HRESULT UIDeactivate() override;
    HRESULT SetObjectRects(LPCRECT position, LPCRECT clip) override;
    HRESULT ReactivateAndUndo() override;

    // IOleControl
    HRESULT GetControlInfo(CONTROLINFO* info) override;
    HRESULT OnMnemonic(MSG* msg) override;
    HRESULT OnAmbientPropertyChange(DISPID id) override;
    HRESULT FreezeEvents(BOOL freeze) override;

    // IViewObject
    HRESULT Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                 HDC targetDevice, HDC target, LPCRECTL bounds, LPCRECTL metaBounds,
                 BOOL (*keepGoing)(ULONG_PTR), ULONG_PTR keepGoingArg) override;
    HRESULT GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                        HDC targetDevice, LOGPALETTE** colors) override;
    HRESULT Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    HRESULT Unfreeze(DWORD freeze) override;
    HRESULT SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;

    // IProvideClassInfo2
    HRESULT GetClassInfo(ITypeInfo** info) override;
    HRESULT GetGUID(DWORD kind, GUID* guid) override;

    // Called by the window. Buttons and shift state use the event encoding
    // (1 left, 2 right, 4 middle; 1 Shift, 2 Control, 4 Alt); x, y are window coordinates.
    void buttonDown(int button, int shift, int x, int y);
    void mouseMove(int buttons, int shift, int x, int y);
    void buttonUp(int button, int shift, int x, int y);
    // Paints the whole window rectangle into `target`, limited to its clip box.
    void paintWindow(ScribaneSurface& target);
    void windowDestroyed();

private:
    // The edit protocol of a property put; `apply` validates and stores, returning its
    // failure code or S_OK.
    template <class Apply> HRESULT editProperty(DISPID id, bool redrawAfter, Apply&& apply);
    bool requestEdit(DISPID id);
    void notifyChanged(DISPID id);
    void fireMouse(DISPID id, int button, int shift, int x, int y);
    void redraw(bool now = false);
    bool ensureInk();
    ink::Rect controlRect() const { return {0, 0, width_, height_}; }
    void readAmbientUserMode();
    std::vector<uint32_t> systemColors() const;
    ink::PaintInput paintInput(bool inkReady) const;
    HRESULT invokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr);
    HRESULT readProperties(VARIANT (&values)[11]) const;
    HRESULT applyProperties(VARIANT (&values)[11]);
    std::vector<uint8_t> streamBytes(HRESULT* hr);
    HRESULT activate(HWND parent, LPCRECT position);
    void deactivate();

    std::atomic<ULONG> refs_{1};

    // System colours (window, window text, window frame), with the lookup flag
    // 0x40000000 that the stored values have always carried.
    OLE_COLOR backColor_ = 0xC0000005;
    OLE_COLOR foreColor_ = 0xC0000008;
    OLE_COLOR borderColor_ = 0xC0000006;
    bool enabled_ = true;
    LONG borderWidth_ = 0;
    LONG penWidth_ = 1;
    bool modified_ = false;
    LONG rotation_ = 0;
    std::u16string backImage_; // empty: none
    bool sendMouseDown_ = false;
    bool sendMouseMove_ = false;
    bool sendMouseUp_ = false;
    bool designMode_ = false;
    bool needsSave_ = false;

    ink::Bitmap ink_;
    std::vector<uint32_t> backImageBits_;
    int backImageWidth_ = 0;
    int backImageHeight_ = 0;
    std::vector<uint32_t> paintBuffer_;

    bool penDown_ = false;
    bool captured_ = false;
    ink::Point last_;

    // Position rectangle in the parent's coordinates.
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;

    IOleClientSite* site_ = nullptr;
    ConnectionPoint events_;
    ConnectionPoint propertyNotify_;
    QPointer<InkWidget> widget_;
    QWindow* foreignParent_ = nullptr;
};

} // namespace scribane
