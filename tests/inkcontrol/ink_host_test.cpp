// The control as a foreign host sees it: registered into a temporary class registry,
// created by ProgID, driven through IDispatch by DISPID and through real mouse events
// on its window, read back as .bmp bytes and persisted through streams and bags.
#include "host_support.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

using namespace host;

namespace {

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), {});
}

void writeFile(const std::string& path, const std::vector<uint8_t>& data) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

// Ink pixel (x, y) of a bottom-up one-bit .bmp: true when it is ink.
bool inkAt(const std::vector<uint8_t>& bmp, int x, int y) {
    const int32_t w = int32_t(bmp[18] | bmp[19] << 8 | bmp[20] << 16 | bmp[21] << 24);
    const int32_t h = int32_t(bmp[22] | bmp[23] << 8 | bmp[24] << 16 | bmp[25] << 24);
    const size_t stride = size_t((w + 31) / 32) * 4;
    const uint8_t byte = bmp[62 + size_t(h - 1 - y) * stride + size_t(x / 8)];
    return !((byte >> (7 - x % 8)) & 1);
}

// Bytes the process holds on the heap, for catching what a call leaves behind.
size_t heapInUse() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
#endif
}

int32_t field(const std::vector<uint8_t>& bmp, size_t at) {
    return int32_t(bmp[at] | bmp[at + 1] << 8 | bmp[at + 2] << 16 | bmp[at + 3] << 24);
}

class Host : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        registry = dir.filePath("registry").toStdString();
        setenv("SCRIBANE_REGISTRY", registry.c_str(), 1);
        ASSERT_EQ(scribane::registerServer(SCRIBANE_MODULE), S_OK);
        ASSERT_EQ(scribane::createInstance("Scribane.InkControl", IID_IDispatch,
                                           reinterpret_cast<void**>(&control)),
                  S_OK);
        ASSERT_EQ(control->QueryInterface(IID_IInkControl, reinterpret_cast<void**>(&ink)), S_OK);
    }
    void TearDown() override {
        if (ink)
            ink->Release();
        if (control)
            control->Release();
    }

    template <class I> I* as(REFIID iid) {
        I* p = nullptr;
        EXPECT_EQ(control->QueryInterface(iid, reinterpret_cast<void**>(&p)), S_OK);
        return p;
    }

    // Gives the window-less control a rectangle, as a host does before activation.
    void setSize(int w, int h) {
        auto* place = as<IOleInPlaceObject>(IID_IOleInPlaceObject);
        RECT r{0, 0, w, h};
        EXPECT_EQ(place->SetObjectRects(&r, &r), S_OK);
        place->Release();
    }

    std::vector<uint8_t> imageData() {
        VARIANT v;
        VariantInit(&v);
        EXPECT_EQ(get(control, DISPID_INK_IMAGEDATA, &v), S_OK);
        auto out = arrayBytes(v);
        VariantClear(&v);
        return out;
    }

    HRESULT putImage(const std::vector<uint8_t>& data) {
        VARIANT v = bytes(data);
        const HRESULT hr = put(control, DISPID_INK_IMAGEDATA, v);
        VariantClear(&v);
        return hr;
    }

    QTemporaryDir dir;
    std::string registry;
    IDispatch* control = nullptr;
    IInkControl* ink = nullptr;
};

// A host window with the control activated inside it at (10, 10), 200 x 100.
class Windowed : public Host {
protected:
    void SetUp() override {
        Host::SetUp();
        parent.resize(300, 200);
        parent.show();
        site = new Site;
        auto* ole = as<IOleObject>(IID_IOleObject);
        ASSERT_EQ(ole->SetClientSite(site), S_OK);
        RECT r{10, 10, 210, 110};
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, HWND(parent.winId()), &r),
                  S_OK);
        ole->Release();
        window = QWidget::find(WId(getLong(control, DISPID_INK_HWND)));
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        if (auto* ole = as<IOleObject>(IID_IOleObject)) {
            ole->Close(OLECLOSE_NOSAVE);
            ole->SetClientSite(nullptr);
            ole->Release();
        }
        Host::TearDown();
        if (site)
            site->Release();
    }

    void mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
               Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QMouseEvent e(type, QPointF(at), window->mapToGlobal(QPointF(at)), button, held, mods);
        QApplication::sendEvent(window, &e);
    }
    void stroke(std::vector<QPoint> points, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        mouse(QEvent::MouseButtonPress, points.front(), Qt::LeftButton, Qt::LeftButton, mods);
        for (size_t i = 1; i < points.size(); ++i)
            mouse(QEvent::MouseMove, points[i], Qt::NoButton, Qt::LeftButton, mods);
        mouse(QEvent::MouseButtonRelease, points.back(), Qt::LeftButton, Qt::NoButton, mods);
    }

    QWidget parent;
    Site* site = nullptr;
    QWidget* window = nullptr;
};

} // namespace

// ---------------------------------------------------------------------------------------
// Registration and creation

TEST(Registration, WritesTheKeysAndRemovesThemAgain) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("sub/registry").toStdString();
    setenv("SCRIBANE_REGISTRY", path.c_str(), 1);
    writeFile(dir.filePath("sub/keep").toStdString(), {});
    ASSERT_EQ(scribane::registerServer(SCRIBANE_MODULE), S_OK);
    auto keys = scribane::readRegistry(path);
    const std::string clsid = "CLSID\\{4D17496D-7DA3-11D4-9270-00105AA9A07C}";
    char real[PATH_MAX];
    ASSERT_TRUE(realpath(SCRIBANE_MODULE, real));
    const std::pair<std::string, std::string> expected[] = {
        {"Scribane.InkControl.1", "Scribane.InkControl"},
        {"Scribane.InkControl.1\\CLSID", "{4D17496D-7DA3-11D4-9270-00105AA9A07C}"},
        {"Scribane.InkControl\\CurVer", "Scribane.InkControl.1"},
        {clsid, "Scribane.InkControl"},
        {clsid + "\\ProgID", "Scribane.InkControl.1"},
        {clsid + "\\VersionIndependentProgID", "Scribane.InkControl"},
        {clsid + "\\InprocServer32", real},
        {clsid + "\\ToolboxBitmap32", std::string(real) + ", 102"},
        {clsid + "\\MiscStatus", "0"},
        {clsid + "\\MiscStatus\\1", "147857"},
        {clsid + "\\TypeLib", "{4D174960-7DA3-11D4-9270-00105AA9A07C}"},
        {clsid + "\\Version", "1.0"},
        {"TypeLib\\{4D174960-7DA3-11D4-9270-00105AA9A07C}\\1.0", "Scribane"}};
    for (const auto& [key, value] : expected) {
        std::string got;
        EXPECT_TRUE(scribane::registryValue(keys, key, "@", &got)) << key;
        EXPECT_EQ(got, value) << key;
    }
    std::string threading;
    EXPECT_TRUE(
        scribane::registryValue(keys, clsid + "\\InprocServer32", "ThreadingModel", &threading));
    EXPECT_EQ(threading, "Both");
    for (const char* k : {"Programmable", "Control", "Insertable"})
        EXPECT_EQ(keys.count(clsid + "\\" + k), 1u) << k;

    // Another server's keys survive both directions.
    keys["Other.Thing\\CLSID"]["@"] = "{00000000-0000-0000-0000-000000000001}";
    {
        std::ofstream f(path, std::ios::app);
        f << "\n[Other.Thing\\CLSID]\n@=\"{00000000-0000-0000-0000-000000000001}\"\n";
    }
    ASSERT_EQ(scribane::registerServer(SCRIBANE_MODULE), S_OK);
    ASSERT_EQ(scribane::registerServer(SCRIBANE_MODULE, true), S_OK);
    keys = scribane::readRegistry(path);
    EXPECT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys.count("other.thing\\clsid"), 1u) << "keys compare without case";
    IUnknown* p = nullptr;
    EXPECT_EQ(
        scribane::createInstance("Scribane.InkControl", IID_IUnknown, reinterpret_cast<void**>(&p)),
        CO_E_CLASSSTRING);
    EXPECT_EQ(scribane::createInstance("{4D17496D-7DA3-11D4-9270-00105AA9A07C}", IID_IUnknown,
                                       reinterpret_cast<void**>(&p)),
              REGDB_E_CLASSNOTREG);
}

TEST_F(Host, CreatesByEveryNameAndReportsLiveObjects) {
    for (const char* name : {"Scribane.InkControl.1", "{4D17496D-7DA3-11D4-9270-00105AA9A07C}"}) {
        IUnknown* p = nullptr;
        ASSERT_EQ(scribane::createInstance(name, IID_IUnknown, reinterpret_cast<void**>(&p)), S_OK)
            << name;
        p->Release();
    }
    auto canUnload = reinterpret_cast<DllCanUnloadNowFn>(
        dlsym(scribane::loadModule(SCRIBANE_MODULE), "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_FALSE);
    ink->Release();
    ink = nullptr;
    control->Release();
    control = nullptr;
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(Host, AnswersItsInterfacesWithOneIdentity) {
    const IID supported[] = {
        IID_IDispatch,         IID_IInkControl,        IID_IConnectionPointContainer,
        IID_IPersist,          IID_IPersistStreamInit, IID_IPersistPropertyBag,
        IID_IPersistStorage,   IID_IOleObject,         IID_IOleWindow,
        IID_IOleInPlaceObject, IID_IOleControl,        IID_IViewObject,
        IID_IProvideClassInfo2};
    IUnknown* identity = as<IUnknown>(IID_IUnknown);
    for (const IID& iid : supported) {
        IUnknown* p = nullptr;
        ASSERT_EQ(control->QueryInterface(iid, reinterpret_cast<void**>(&p)), S_OK)
            << scribane::guidToString(iid);
        IUnknown* back = nullptr;
        ASSERT_EQ(p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)), S_OK);
        EXPECT_EQ(back, identity);
        back->Release();
        p->Release();
    }
    identity->Release();
    IUnknown* none = nullptr;
    EXPECT_EQ(control->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&none)),
              E_NOINTERFACE);
    auto* info = as<IProvideClassInfo2>(IID_IProvideClassInfo2);
    GUID g{};
    EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &g), S_OK);
    EXPECT_EQ(g, DIID_IInkControlEvents);
    info->Release();
    auto* ole = as<IOleObject>(IID_IOleObject);
    DWORD misc = 0;
    EXPECT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, 147857u);
    EXPECT_EQ(ole->EnumVerbs(nullptr), E_NOTIMPL);
    ole->Release();
}

// ---------------------------------------------------------------------------------------
// Properties

TEST_F(Host, DefaultsThroughDispatch) {
    const std::pair<DISPID, LONG> defaults[] = {{DISPID_INK_BACKCOLOR, LONG(0xC0000005)},
                                                {DISPID_INK_FORECOLOR, LONG(0xC0000008)},
                                                {DISPID_INK_BORDERCOLOR, LONG(0xC0000006)},
                                                {DISPID_INK_ENABLED, -1},
                                                {DISPID_INK_BORDERWIDTH, 0},
                                                {DISPID_INK_PENWIDTH, 1},
                                                {DISPID_INK_MODIFIED, 0},
                                                {DISPID_INK_ROTATION, 0},
                                                {DISPID_INK_SENDMOUSEDOWN, 0},
                                                {DISPID_INK_SENDMOUSEMOVE, 0},
                                                {DISPID_INK_SENDMOUSEUP, 0},
                                                {DISPID_INK_HWND, 0}};
    for (auto [id, value] : defaults)
        EXPECT_EQ(getLong(control, id), value) << id;
    VARIANT name;
    VariantInit(&name);
    EXPECT_EQ(get(control, DISPID_INK_BACKIMAGE, &name), S_OK);
    EXPECT_EQ(name.vt, VT_BSTR);
    EXPECT_EQ(SysStringLen(name.bstrVal), 0u);
    VariantClear(&name);
    EXPECT_EQ(call(control, DISPID_INK_ABOUTBOX), S_OK);
    LPOLESTR names[] = {const_cast<LPOLESTR>(u"penwidth")};
    DISPID id = 0;
    EXPECT_EQ(control->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, DISPID_INK_PENWIDTH);
}

struct PutCase {
    const char* name;
    DISPID id;
    LONG value;
    HRESULT result;
    LONG after;
};

void PrintTo(const PutCase& c, std::ostream* os) {
    *os << c.name;
}

class Validation : public Host, public testing::WithParamInterface<PutCase> {};

TEST_P(Validation, ChecksTheValue) {
    const auto& c = GetParam();
    auto* notify = new NotifySink;
    connect(control, IID_IPropertyNotifySink, notify);
    EXPECT_EQ(put(control, c.id, i4(c.value)), c.result);
    EXPECT_EQ(getLong(control, c.id), c.after);
    // The container is asked first; only an accepted value is reported as changed.
    ASSERT_FALSE(notify->calls.empty());
    EXPECT_EQ(notify->calls.front(), (std::pair<char, DISPID>{'r', c.id}));
    EXPECT_EQ(notify->calls.size(), SUCCEEDED(c.result) ? 2u : 1u);
    notify->Release();
}

INSTANTIATE_TEST_SUITE_P(
    Puts, Validation,
    testing::Values(
        PutCase{"RotationMinus90", DISPID_INK_ROTATION, -90, S_OK, -90},
        PutCase{"Rotation450", DISPID_INK_ROTATION, 450, S_OK, 450},
        PutCase{"Rotation45", DISPID_INK_ROTATION, 45, CTL_E_INVALIDPROPERTYVALUE, 0},
        PutCase{"PenWidthZero", DISPID_INK_PENWIDTH, 0, CTL_E_INVALIDPROPERTYVALUE, 1},
        PutCase{"PenWidthNegative", DISPID_INK_PENWIDTH, -3, CTL_E_INVALIDPROPERTYVALUE, 1},
        PutCase{"PenWidthFive", DISPID_INK_PENWIDTH, 5, S_OK, 5},
        PutCase{"BorderWidthZero", DISPID_INK_BORDERWIDTH, 0, S_OK, 0},
        PutCase{"BorderWidthNegative", DISPID_INK_BORDERWIDTH, -1, CTL_E_INVALIDPROPERTYVALUE, 0},
        PutCase{"BooleanStoredAsTrue", DISPID_INK_SENDMOUSEUP, 5, S_OK, -1},
        PutCase{"EnabledOff", DISPID_INK_ENABLED, 0, S_OK, 0},
        PutCase{"ColourKept", DISPID_INK_FORECOLOR, 0x0000FF, S_OK, 0x0000FF}),
    [](const auto& info) { return info.param.name; });

TEST_F(Host, RefusedEditChangesNothing) {
    auto* notify = new NotifySink;
    notify->refuse.insert(DISPID_INK_PENWIDTH);
    connect(control, IID_IPropertyNotifySink, notify);
    EXPECT_EQ(put(control, DISPID_INK_PENWIDTH, i4(7)), S_FALSE);
    EXPECT_EQ(getLong(control, DISPID_INK_PENWIDTH), 1);
    auto* persist = as<IPersistStreamInit>(IID_IPersistStreamInit);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    EXPECT_EQ(put(control, DISPID_INK_BORDERWIDTH, i4(2)), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    persist->Release();
    // Clear with Modified already false says nothing about Modified.
    notify->calls.clear();
    EXPECT_EQ(call(control, DISPID_INK_CLEAR), S_OK);
    EXPECT_TRUE(notify->calls.empty());
    notify->Release();
}

TEST_F(Host, NullOutPointersAndWrongArguments) {
    EXPECT_EQ(ink->get_PenWidth(nullptr), E_INVALIDARG);
    EXPECT_EQ(ink->get_BackColor(nullptr), E_INVALIDARG);
    EXPECT_EQ(ink->get_ImageData(nullptr), E_INVALIDARG);
    EXPECT_EQ(ink->get_BackImage(nullptr), E_INVALIDARG);
    EXPECT_EQ(ink->get_Modified(nullptr), E_INVALIDARG);
    VARIANT s = text(u"five");
    EXPECT_EQ(put(control, DISPID_INK_PENWIDTH, s), DISP_E_TYPEMISMATCH);
    VariantClear(&s);
    EXPECT_EQ(put(control, 999, i4(1)), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(call(control, DISPID_INK_CLEAR, {i4(1)}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(put(control, DISPID_INK_HWND, i4(1)), DISP_E_MEMBERNOTFOUND);
}

TEST_F(Host, AbsurdRectangleGivesNoWritingArea) {
    auto* place = as<IOleInPlaceObject>(IID_IOleInPlaceObject);
    RECT huge{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    EXPECT_EQ(place->SetObjectRects(&huge, &huge), S_OK);
    place->Release();
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(get(control, DISPID_INK_IMAGEDATA, &v), E_FAIL) << "wider than any ink bitmap";
    setSize(30, 20);
    EXPECT_EQ(imageData().size(), 62u + 20u * 4u);
}

TEST_F(Host, GetWithoutAResultVariantKeepsNothing) {
    // A caller may pass no result variant; what the get made must not stay behind.
    setSize(2000, 2000); // 500 kB per image
    VARIANT warm;
    VariantInit(&warm);
    ASSERT_EQ(get(control, DISPID_INK_IMAGEDATA, &warm), S_OK);
    VariantClear(&warm);
    const size_t before = heapInUse();
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(get(control, DISPID_INK_IMAGEDATA, nullptr), S_OK);
        ASSERT_EQ(get(control, DISPID_INK_BACKIMAGE, nullptr), S_OK);
    }
    const size_t after = heapInUse();
    EXPECT_LT(after, before + (4u << 20)) << "40 images of 500 kB would be 20 MB";
}

TEST_F(Host, DesignModeFromTheAmbientUserMode) {
    auto* site = new Site;
    site->userMode = false;
    auto* ole = as<IOleObject>(IID_IOleObject);
    ASSERT_EQ(ole->SetClientSite(site), S_OK);
    setSize(40, 30);
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(get(control, DISPID_INK_MODIFIED, &v), CTL_E_GETNOTSUPPORTED);
    EXPECT_EQ(put(control, DISPID_INK_MODIFIED, boolean(true)), CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(get(control, DISPID_INK_HWND, &v), CTL_E_GETNOTSUPPORTED);
    EXPECT_EQ(get(control, DISPID_INK_IMAGEDATA, &v), CTL_E_GETNOTSUPPORTED);
    EXPECT_EQ(putImage({'B', 'M'}), CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(put(control, DISPID_INK_PENWIDTH, i4(3)), S_OK) << "other properties still work";
    EXPECT_EQ(v.vt, VT_EMPTY);
    // The container switches to user mode and says so.
    site->userMode = true;
    auto* oc = as<IOleControl>(IID_IOleControl);
    EXPECT_EQ(oc->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE), S_OK);
    EXPECT_EQ(getLong(control, DISPID_INK_MODIFIED), 0);
    oc->Release();
    // A site without ambient properties means user mode.
    site->ambient = false;
    site->userMode = false;
    EXPECT_EQ(ole->SetClientSite(site), S_OK);
    EXPECT_EQ(get(control, DISPID_INK_MODIFIED, &v), S_OK);
    ole->SetClientSite(nullptr);
    ole->Release();
    site->Release();
}

// ---------------------------------------------------------------------------------------
// Ink through the window

TEST_F(Windowed, WindowIsAChildOfTheHostWindow) {
    EXPECT_EQ(window->parentWidget(), &parent);
    EXPECT_EQ(window->geometry(), QRect(10, 10, 200, 100));
    auto* place = as<IOleInPlaceObject>(IID_IOleInPlaceObject);
    HWND hwnd = 0;
    EXPECT_EQ(place->GetWindow(&hwnd), S_OK);
    EXPECT_EQ(hwnd, HWND(window->winId()));
    RECT r{5, 6, 125, 86};
    EXPECT_EQ(place->SetObjectRects(&r, &r), S_OK);
    EXPECT_EQ(window->geometry(), QRect(5, 6, 120, 80));
    place->Release();
    EXPECT_EQ(imageData().size(), 62u + 80u * 16u);
}

TEST_F(Windowed, StrokeDrawsInkAndSetsModified) {
    auto* notify = new NotifySink;
    connect(control, IID_IPropertyNotifySink, notify);
    ASSERT_EQ(put(control, DISPID_INK_PENWIDTH, i4(3)), S_OK);
    notify->calls.clear();
    // A tap leaves nothing.
    stroke({{50, 50}});
    EXPECT_EQ(getLong(control, DISPID_INK_MODIFIED), 0);
    stroke({{20, 30}, {60, 30}, {60, 70}});
    EXPECT_EQ(getLong(control, DISPID_INK_MODIFIED), -1);
    EXPECT_EQ(notify->calls, (std::vector<std::pair<char, DISPID>>{{'r', DISPID_INK_MODIFIED},
                                                                   {'c', DISPID_INK_MODIFIED}}));
    const auto bmp = imageData();
    ASSERT_EQ(bmp.size(), 62u + 100u * 28u);
    EXPECT_EQ(field(bmp, 18), 200);
    EXPECT_EQ(field(bmp, 22), 100);
    for (int x = 20; x <= 60; ++x)
        EXPECT_TRUE(inkAt(bmp, x, 30)) << x;
    for (int y = 30; y <= 70; ++y)
        EXPECT_TRUE(inkAt(bmp, 60, y)) << y;
    EXPECT_TRUE(inkAt(bmp, 20, 29)) << "pen width 3 covers one pixel either side";
    EXPECT_FALSE(inkAt(bmp, 20, 32));
    EXPECT_FALSE(inkAt(bmp, 50, 50));
    // The painted window shows the ink in the ink colour, and a new colour recolours it.
    QImage shot = window->grab().toImage();
    EXPECT_EQ(shot.pixel(40, 30) & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(shot.pixel(100, 90) & 0xFFFFFF, 0xFFFFFFu);
    ASSERT_EQ(put(control, DISPID_INK_FORECOLOR, i4(0x0000FF)), S_OK); // red as 0x00BBGGRR
    shot = window->grab().toImage();
    EXPECT_EQ(shot.pixel(40, 30) & 0xFFFFFF, 0xFF0000u);
    // Clear blanks the ink and puts Modified back.
    notify->calls.clear();
    EXPECT_EQ(call(control, DISPID_INK_CLEAR), S_OK);
    EXPECT_EQ(getLong(control, DISPID_INK_MODIFIED), 0);
    EXPECT_FALSE(inkAt(imageData(), 40, 30));
    EXPECT_EQ(notify->calls.back(), (std::pair<char, DISPID>{'c', DISPID_INK_MODIFIED}));
    notify->Release();
}

TEST_F(Windowed, PenInTheBorderOrDisabledDrawsNothingButMovesAreReported) {
    auto* events = new EventSink;
    connect(control, DIID_IInkControlEvents, events);
    ASSERT_EQ(put(control, DISPID_INK_BORDERWIDTH, i4(5)), S_OK);
    ASSERT_EQ(put(control, DISPID_INK_SENDMOUSEMOVE, boolean(true)), S_OK);
    stroke({{3, 3}, {40, 40}});
    EXPECT_EQ(getLong(control, DISPID_INK_MODIFIED), 0);
    ASSERT_EQ(put(control, DISPID_INK_ENABLED, boolean(false)), S_OK);
    stroke({{20, 20}, {40, 40}});
    EXPECT_EQ(getLong(control, DISPID_INK_MODIFIED), 0);
    EXPECT_EQ(events->events.size(), 2u) << "moves are reported even when disabled";
    // With a border the writing area shrinks: 190 x 90.
    const auto bmp = imageData();
    EXPECT_EQ(field(bmp, 18), 190);
    EXPECT_EQ(field(bmp, 22), 90);
    events->Release();
}

TEST_F(Windowed, MouseEventsCarryButtonShiftAndWindowCoordinates) {
    auto* events = new EventSink;
    connect(control, DIID_IInkControlEvents, events);
    ASSERT_EQ(put(control, DISPID_INK_BORDERWIDTH, i4(4)), S_OK);
    stroke({{10, 12}, {11, 12}}, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_TRUE(events->events.empty()) << "nothing is sent until asked for";
    for (DISPID id : {DISPID_INK_SENDMOUSEDOWN, DISPID_INK_SENDMOUSEMOVE, DISPID_INK_SENDMOUSEUP})
        ASSERT_EQ(put(control, id, boolean(true)), S_OK);
    stroke({{10, 12}, {30, 32}}, Qt::ShiftModifier | Qt::AltModifier);
    mouse(QEvent::MouseButtonPress, {50, 50}, Qt::RightButton, Qt::RightButton);
    mouse(QEvent::MouseMove, {51, 50}, Qt::NoButton, Qt::RightButton);
    mouse(QEvent::MouseButtonRelease, {51, 50}, Qt::RightButton, Qt::NoButton);
    ASSERT_EQ(events->events.size(), 6u);
    const MouseEvent expected[] = {
        {DISPID_INK_MOUSEDOWN, {}, 1, 5, 10, 12}, {DISPID_INK_MOUSEMOVE, {}, 1, 5, 30, 32},
        {DISPID_INK_MOUSEUP, {}, 1, 5, 30, 32},   {DISPID_INK_MOUSEDOWN, {}, 2, 0, 50, 50},
        {DISPID_INK_MOUSEMOVE, {}, 2, 0, 51, 50}, {DISPID_INK_MOUSEUP, {}, 2, 0, 51, 50}};
    for (size_t i = 0; i < 6; ++i) {
        const auto& e = events->events[i];
        EXPECT_EQ(e.id, expected[i].id) << i;
        EXPECT_EQ(e.button, expected[i].button) << i;
        EXPECT_EQ(e.shift, expected[i].shift) << i;
        EXPECT_EQ(e.x, expected[i].x) << i;
        EXPECT_EQ(e.y, expected[i].y) << i;
        EXPECT_EQ(e.types[0], VT_I2);
        EXPECT_EQ(e.types[1], VT_I2);
        EXPECT_EQ(e.types[2], VT_I4);
        EXPECT_EQ(e.types[3], VT_I4);
    }
    EXPECT_EQ(getLong(control, DISPID_INK_MODIFIED), -1) << "the left stroke drew";
    events->Release();
}

TEST_F(Windowed, BorderGrowingUnderThePenDrawsNothingOutside) {
    mouse(QEvent::MouseButtonPress, {20, 20}, Qt::LeftButton, Qt::LeftButton);
    ASSERT_EQ(put(control, DISPID_INK_BORDERWIDTH, i4(INT_MAX)), S_OK);
    mouse(QEvent::MouseMove, {-30, 40}, Qt::NoButton, Qt::LeftButton);
    ASSERT_EQ(put(control, DISPID_INK_BORDERWIDTH, i4(0)), S_OK);
    mouse(QEvent::MouseMove, {25, 20}, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, {25, 20}, Qt::LeftButton, Qt::NoButton);
    EXPECT_TRUE(inkAt(imageData(), 25, 20));
}

TEST_F(Windowed, HugePenInksTheWholeAreaAndRepaintsOnlyTheWindow) {
    // The repaint rectangle of such a pen reaches far beyond the window on every side.
    ASSERT_EQ(put(control, DISPID_INK_PENWIDTH, i4(INT_MAX)), S_OK);
    stroke({{20, 20}, {21, 20}});
    const auto bmp = imageData();
    for (auto [x, y] : {std::pair{0, 0}, {199, 0}, {0, 99}, {199, 99}, {100, 50}})
        EXPECT_TRUE(inkAt(bmp, x, y)) << x << ", " << y;
}

TEST_F(Windowed, ResizingKeepsTheTopLeftInk) {
    stroke({{10, 10}, {190, 90}});
    auto* place = as<IOleInPlaceObject>(IID_IOleInPlaceObject);
    RECT small{10, 10, 60, 40};
    ASSERT_EQ(place->SetObjectRects(&small, &small), S_OK);
    auto bmp = imageData();
    EXPECT_EQ(field(bmp, 18), 50);
    EXPECT_TRUE(inkAt(bmp, 10, 10));
    RECT big{10, 10, 260, 150};
    ASSERT_EQ(place->SetObjectRects(&big, &big), S_OK);
    bmp = imageData();
    EXPECT_EQ(field(bmp, 18), 250);
    EXPECT_TRUE(inkAt(bmp, 10, 10));
    EXPECT_FALSE(inkAt(bmp, 150, 70)) << "ink cut off by the shrink stays lost";
    place->Release();
}

TEST_F(Windowed, BackgroundImageShowsUnderTheInk) {
    QImage picture(20, 10, QImage::Format_RGB32);
    picture.fill(QColor(0, 128, 0));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    VARIANT v = bytes(std::vector<uint8_t>(png.begin(), png.end()));
    EXPECT_EQ(call(control, DISPID_INK_SETBACKIMAGE, {v}), S_OK);
    VariantClear(&v);
    stroke({{2, 2}, {8, 2}});
    QImage shot = window->grab().toImage();
    EXPECT_EQ(shot.pixel(15, 5) & 0xFFFFFF, 0x008000u);
    EXPECT_EQ(shot.pixel(5, 2) & 0xFFFFFF, 0x000000u) << "ink over the picture";
    EXPECT_EQ(shot.pixel(50, 50) & 0xFFFFFF, 0xFFFFFFu) << "beyond the picture";
    // A file name through BackImage; an empty name removes the picture.
    const std::string file = dir.filePath("back.png").toStdString();
    picture.fill(QColor(0, 0, 200));
    ASSERT_TRUE(picture.save(QString::fromStdString(file)));
    auto* notify = new NotifySink;
    connect(control, IID_IPropertyNotifySink, notify);
    VARIANT name = text(scribane::toUtf16(file));
    EXPECT_EQ(put(control, DISPID_INK_BACKIMAGE, name), S_OK);
    VariantClear(&name);
    EXPECT_EQ(notify->calls, (std::vector<std::pair<char, DISPID>>{{'c', DISPID_INK_BACKIMAGE}}));
    EXPECT_EQ(window->grab().toImage().pixel(15, 5) & 0xFFFFFF, 0x0000C8u);
    VARIANT got;
    VariantInit(&got);
    ASSERT_EQ(get(control, DISPID_INK_BACKIMAGE, &got), S_OK);
    EXPECT_EQ(scribane::toUtf8(got.bstrVal), file);
    VariantClear(&got);
    VARIANT empty = text(u"");
    EXPECT_EQ(put(control, DISPID_INK_BACKIMAGE, empty), S_OK);
    VariantClear(&empty);
    EXPECT_EQ(window->grab().toImage().pixel(15, 5) & 0xFFFFFF, 0xFFFFFFu);
    // Undecodable bytes: no picture, and still success.
    VARIANT junk = bytes({1, 2, 3});
    EXPECT_EQ(call(control, DISPID_INK_SETBACKIMAGE, {junk}), S_OK);
    VariantClear(&junk);
    notify->Release();
}

TEST_F(Host, DrawPaintsIntoAHostTarget) {
    setSize(12, 8);
    ASSERT_EQ(put(control, DISPID_INK_BORDERWIDTH, i4(1)), S_OK);
    ASSERT_EQ(put(control, DISPID_INK_BORDERCOLOR, i4(0x00FF00)), S_OK);
    std::vector<uint32_t> px(24 * 16, 0);
    ScribaneSurface target{px.data(), 24, 16, 24 * 4, {0, 0, 24, 16}};
    auto* view = as<IViewObject>(IID_IViewObject);
    RECTL bounds{4, 4, 16, 12};
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, &target, &bounds, nullptr,
                         nullptr, 0),
              S_OK);
    EXPECT_EQ(px[0], 0u);
    EXPECT_EQ(px[4 * 24 + 4] & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(px[6 * 24 + 8] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &bounds, nullptr,
                         nullptr, 0),
              E_INVALIDARG);
    view->Release();
}

TEST_F(Host, BackgroundImageIsScaledIntoTheDecodeLimit) {
    // 2048 x 256 is scaled to fit 1024 x 1024, keeping its proportions: 1024 x 128.
    QImage picture(2048, 256, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 200));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&buffer, "PNG"));
    // Passed by reference, as a script host does.
    VARIANT inner = bytes(std::vector<uint8_t>(png.begin(), png.end()));
    VARIANT ref;
    VariantInit(&ref);
    ref.vt = VT_BYREF | VT_VARIANT;
    ref.pvarVal = &inner;
    EXPECT_EQ(call(control, DISPID_INK_SETBACKIMAGE, {ref}), S_OK);
    VariantClear(&inner);

    setSize(1100, 200);
    std::vector<uint32_t> px(1100 * 200, 0);
    ScribaneSurface target{px.data(), 1100, 200, 1100 * 4, {0, 0, 1100, 200}};
    auto* view = as<IViewObject>(IID_IViewObject);
    RECTL bounds{0, 0, 1100, 200};
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, &target, &bounds, nullptr,
                         nullptr, 0),
              S_OK);
    view->Release();
    auto at = [&](int x, int y) { return px[size_t(y) * 1100 + size_t(x)] & 0xFFFFFF; };
    EXPECT_EQ(at(1023, 127), 0x0000C8u);
    EXPECT_EQ(at(1024, 10), 0xFFFFFFu);
    EXPECT_EQ(at(10, 128), 0xFFFFFFu);
}

// ---------------------------------------------------------------------------------------
// Images in and out

TEST_F(Host, ExportShapeAndRotation) {
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(get(control, DISPID_INK_IMAGEDATA, &v), E_FAIL) << "no writing area yet";
    setSize(100, 50);
    auto bmp = imageData();
    ASSERT_EQ(bmp.size(), 862u);
    EXPECT_EQ(field(bmp, 34), 800);
    EXPECT_EQ(field(bmp, 54), 0x000000) << "ink colour from the window-text colour";
    EXPECT_EQ(field(bmp, 58), 0xFFFFFF) << "background from the window colour";
    // The resolution fields carry the screen's pixels per metre.
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const int mmWide = int(screen->physicalSize().width());
    const int mmHigh = int(screen->physicalSize().height());
    ASSERT_GT(mmWide, 0);
    ASSERT_GT(mmHigh, 0);
    EXPECT_EQ(field(bmp, 38), screen->size().width() * 1000 / mmWide);
    EXPECT_EQ(field(bmp, 42), screen->size().height() * 1000 / mmHigh);
    ASSERT_EQ(put(control, DISPID_INK_ROTATION, i4(90)), S_OK);
    bmp = imageData();
    EXPECT_EQ(field(bmp, 18), 50);
    EXPECT_EQ(field(bmp, 22), 100);
}

TEST_F(Host, ImportAtEachRotationComesBackUnchanged) {
    setSize(61, 23);
    std::vector<uint8_t> drawn;
    {
        // Ink made by loading a picture with a diagonal, at rotation 0.
        QImage art(61, 23, QImage::Format_Mono);
        art.fill(1);
        for (int i = 0; i < 23; ++i)
            art.setPixel(i * 2, i, 0);
        QByteArray data;
        QBuffer b(&data);
        b.open(QIODevice::WriteOnly);
        ASSERT_TRUE(art.save(&b, "BMP"));
        drawn.assign(data.begin(), data.end());
    }
    ASSERT_EQ(putImage(drawn), S_OK);
    const auto original = imageData();
    EXPECT_TRUE(inkAt(original, 10, 5));
    for (LONG angle : {90, 180, 270, -90}) {
        ASSERT_EQ(put(control, DISPID_INK_ROTATION, i4(angle)), S_OK);
        const auto turned = imageData();
        ASSERT_EQ(putImage(turned), S_OK) << angle;
        ASSERT_EQ(put(control, DISPID_INK_ROTATION, i4(0)), S_OK);
        EXPECT_EQ(imageData(), original) << angle;
    }
}

TEST_F(Host, HostileBytesAreRefusedAndTheInkStays) {
    setSize(40, 20);
    ASSERT_EQ(put(control, DISPID_INK_ROTATION, i4(180)), S_OK);
    auto valid = imageData();
    valid[62 + 5] = 0x0F; // some ink
    ASSERT_EQ(putImage(valid), S_OK);
    const auto before = imageData();
    for (size_t n = 0; n < valid.size(); ++n)
        ASSERT_EQ(putImage(std::vector<uint8_t>(valid.begin(), valid.begin() + ptrdiff_t(n))),
                  E_FAIL)
            << n;
    auto wide = valid;
    wide[18] = 0xFF; // width 255: rows need more bytes than the image holds
    EXPECT_EQ(putImage(wide), E_FAIL);
    EXPECT_EQ(put(control, DISPID_INK_IMAGEDATA, i4(3)), E_FAIL);
    VARIANT s = text(u"BM");
    EXPECT_EQ(put(control, DISPID_INK_IMAGEDATA, s), E_FAIL);
    VariantClear(&s);
    EXPECT_EQ(imageData(), before);
    // A reference to a variant holding the array is followed.
    VARIANT inner = bytes(valid);
    VARIANT ref;
    VariantInit(&ref);
    ref.vt = VT_BYREF | VT_VARIANT;
    ref.pvarVal = &inner;
    EXPECT_EQ(put(control, DISPID_INK_IMAGEDATA, ref), S_OK);
    VariantClear(&inner);
}

TEST_F(Host, SaveAndLoadFiles) {
    setSize(30, 20);
    const std::string good = dir.filePath("sig.BMP").toStdString();
    auto save = [&](const std::u16string& name) {
        VARIANT v = text(name);
        const HRESULT hr = call(control, DISPID_INK_SAVEIMAGE, {v});
        VariantClear(&v);
        return hr;
    };
    auto load = [&](const std::u16string& name) {
        VARIANT v = text(name);
        const HRESULT hr = call(control, DISPID_INK_LOADIMAGE, {v});
        VariantClear(&v);
        return hr;
    };
    EXPECT_EQ(save(scribane::toUtf16(good)), S_OK);
    EXPECT_EQ(readFile(good), imageData());
    for (const char* bad : {"x.bm", "image.png", ".bmp", "abmp"}) {
        const std::string path = dir.filePath(bad).toStdString();
        EXPECT_EQ(save(scribane::toUtf16(bad)), E_INVALIDARG) << bad;
        EXPECT_FALSE(QFile::exists(QString::fromStdString(path))) << bad;
    }
    EXPECT_EQ(ink->SaveImage(nullptr), E_INVALIDARG);
    EXPECT_EQ(save(scribane::toUtf16(dir.filePath("missing/dir/a.bmp").toStdString())), E_FAIL);

    // Load it back into a changed control.
    auto edited = imageData();
    edited[62] = 0;
    ASSERT_EQ(putImage(edited), S_OK);
    EXPECT_EQ(load(scribane::toUtf16(good)), S_OK);
    EXPECT_EQ(imageData(), readFile(good));
    EXPECT_EQ(ink->LoadImage(nullptr), E_INVALIDARG);
    EXPECT_EQ(load(u"/nonexistent/file.bmp"), E_FAIL);

    // A pipe is not waited on, as a file name or as a background image.
    const std::string pipe = dir.filePath("pipe.bmp").toStdString();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(load(scribane::toUtf16(pipe)), E_FAIL);
    VARIANT name = text(scribane::toUtf16(pipe));
    EXPECT_EQ(call(control, DISPID_INK_SETBACKIMAGE, {name}), S_OK);
    VariantClear(&name);

    // A 24-bit picture is refused and the ink stays.
    const std::string colour = dir.filePath("colour.bmp").toStdString();
    QImage rgb(30, 20, QImage::Format_RGB888);
    rgb.fill(Qt::red);
    ASSERT_TRUE(rgb.save(QString::fromStdString(colour), "BMP"));
    const auto kept = imageData();
    EXPECT_EQ(load(scribane::toUtf16(colour)), E_FAIL);
    EXPECT_EQ(imageData(), kept);
}

// A save that runs out of space keeps the image that was there and leaves nothing beside
// it: once with the process's file-size limit failing the write part-way, once on a real
// full 64 KiB tmpfs (root only).
TEST_F(Host, SaveImageOnFullStorageKeepsTheOldFile) {
    setSize(100, 50);
    auto save = [&](const std::string& path) {
        VARIANT v = text(scribane::toUtf16(path));
        const HRESULT hr = call(control, DISPID_INK_SAVEIMAGE, {v});
        VariantClear(&v);
        return hr;
    };
    auto leftovers = [](const QString& folder) {
        return QDir(folder)
            .entryList({".*"}, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)
            .filter(QRegularExpression("^\\.(?!filler$)"));
    };
    const std::vector<uint8_t> old(862, 0x5A);

    {
        const std::string path = dir.filePath("limited.bmp").toStdString();
        writeFile(path, old);
        struct rlimit saved {};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 100; // the 862-byte image is cut short
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const HRESULT hr = save(path);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        EXPECT_EQ(hr, E_FAIL);
        EXPECT_EQ(readFile(path), old);
        EXPECT_EQ(leftovers(dir.path()), QStringList());
    }

    if (geteuid() != 0) {
        GTEST_SKIP() << "full tmpfs case skipped: mounting a small tmpfs needs root";
    }
    QTemporaryDir mountPoint;
    const QByteArray where = QFile::encodeName(mountPoint.path());
    if (mount("tmpfs", where.constData(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "full tmpfs case skipped: cannot mount a tmpfs here";
    }
    const std::string path = mountPoint.filePath("sig.bmp").toStdString();
    writeFile(path, old);
    {
        std::ofstream filler(mountPoint.filePath(".filler").toStdString(), std::ios::binary);
        const std::string block(512, 'f');
        while (filler.write(block.data(), std::streamsize(block.size())) && filler.flush()) {
        }
    }
    EXPECT_EQ(save(path), E_FAIL);
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(leftovers(mountPoint.path()), QStringList());
    QFile::remove(mountPoint.filePath(".filler"));
    EXPECT_EQ(save(path), S_OK);
    EXPECT_EQ(readFile(path), imageData());
    umount2(where.constData(), MNT_DETACH);
}

// ---------------------------------------------------------------------------------------
// Persistence

namespace {
std::vector<uint8_t> defaultStream() {
    return {0x00, 0x03, 0,    0,             // version
            3,    0,    0x05, 0,    0, 0xC0, // BackColor
            3,    0,    0x08, 0,    0, 0xC0, // ForeColor
            11,   0,    0xFF, 0xFF,          // Enabled
            3,    0,    0,    0,    0, 0,    // BorderWidth
            3,    0,    0x06, 0,    0, 0xC0, // BorderColor
            3,    0,    1,    0,    0, 0,    // PenWidth
            3,    0,    0,    0,    0, 0,    // Rotation
            8,    0,    0,    0,    0, 0,    // BackImage: none
            11,   0,    0,    0,             // SendMouseDown
            11,   0,    0,    0,             // SendMouseMove
            11,   0,    0,    0};            // SendMouseUp
}
} // namespace

TEST_F(Host, StreamBytesAndRoundTrip) {
    auto* persist = as<IPersistStreamInit>(IID_IPersistStreamInit);
    auto* stream = new MemoryStream;
    ASSERT_EQ(persist->Save(stream, TRUE), S_OK);
    EXPECT_EQ(stream->bytes, defaultStream());
    ULARGE_INTEGER size{};
    EXPECT_EQ(persist->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size.QuadPart, defaultStream().size());

    ASSERT_EQ(put(control, DISPID_INK_PENWIDTH, i4(4)), S_OK);
    ASSERT_EQ(put(control, DISPID_INK_ROTATION, i4(-90)), S_OK);
    ASSERT_EQ(put(control, DISPID_INK_SENDMOUSEUP, boolean(true)), S_OK);
    VARIANT name = text(u"sig.png");
    ASSERT_EQ(put(control, DISPID_INK_BACKIMAGE, name), S_OK);
    VariantClear(&name);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    auto* saved = new MemoryStream;
    ASSERT_EQ(persist->Save(saved, TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    const std::vector<uint8_t> tail = {8,   0, 16,  0, 0,   0, 's', 0, 'i',  0,   'g', 0,
                                       '.', 0, 'p', 0, 'n', 0, 'g', 0, 0,    0,   11,  0,
                                       0,   0, 11,  0, 0,   0, 11,  0, 0xFF, 0xFF};
    ASSERT_GT(saved->bytes.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), saved->bytes.end() - ptrdiff_t(tail.size())));

    // Into a fresh control.
    IDispatch* other = nullptr;
    ASSERT_EQ(scribane::createInstance("Scribane.InkControl", IID_IDispatch,
                                       reinterpret_cast<void**>(&other)),
              S_OK);
    IPersistStreamInit* otherPersist = nullptr;
    ASSERT_EQ(
        other->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&otherPersist)),
        S_OK);
    saved->pos = 0;
    EXPECT_EQ(otherPersist->Load(saved), S_OK);
    EXPECT_EQ(getLong(other, DISPID_INK_PENWIDTH), 4);
    EXPECT_EQ(getLong(other, DISPID_INK_ROTATION), -90);
    EXPECT_EQ(getLong(other, DISPID_INK_SENDMOUSEUP), -1);
    auto* again = new MemoryStream;
    ASSERT_EQ(otherPersist->Save(again, FALSE), S_OK);
    EXPECT_EQ(again->bytes, saved->bytes);
    otherPersist->Release();
    other->Release();
    again->Release();
    saved->Release();
    stream->Release();
    persist->Release();
}

TEST_F(Host, BrokenStreamsLeaveEveryPropertyAsItWas) {
    // A stream that sets every property to something else.
    std::vector<uint8_t> full = defaultStream();
    full[18] = 0; // Enabled false
    full[19] = 0;
    full[34] = 9; // PenWidth 9
    full.erase(full.begin() + 44, full.begin() + 50);
    const std::vector<uint8_t> name = {8, 0, 6, 0, 0, 0, 'a', 0, 'b', 0, 0, 0};
    full.insert(full.begin() + 44, name.begin(), name.end()); // BackImage "ab"
    auto* persist = as<IPersistStreamInit>(IID_IPersistStreamInit);
    auto state = [&] {
        auto* s = new MemoryStream;
        EXPECT_EQ(persist->Save(s, FALSE), S_OK);
        auto b = s->bytes;
        s->Release();
        return b;
    };
    const auto before = state();
    for (size_t n = 0; n < full.size(); ++n) {
        auto* s = new MemoryStream;
        s->bytes.assign(full.begin(), full.begin() + ptrdiff_t(n));
        EXPECT_EQ(persist->Load(s), E_FAIL) << n;
        s->Release();
        ASSERT_EQ(state(), before) << n;
    }
    struct Bad {
        const char* name;
        size_t at;
        std::vector<uint8_t> bytes;
    };
    const Bad bad[] = {{"NewerVersion", 0, {0x01, 0x03}},
                       {"TextLongerThanTheStream", 46, {0xFE, 0x00}},
                       {"UnknownType", 20, {0x40, 0x00}},
                       {"PenWidthZero", 34, {0}}};
    for (const auto& b : bad) {
        auto* s = new MemoryStream;
        s->bytes = full;
        std::copy(b.bytes.begin(), b.bytes.end(), s->bytes.begin() + ptrdiff_t(b.at));
        EXPECT_TRUE(FAILED(persist->Load(s))) << b.name;
        s->Release();
        EXPECT_EQ(state(), before) << b.name;
    }
    auto* s = new MemoryStream;
    s->bytes = full;
    EXPECT_EQ(persist->Load(s), S_OK);
    s->Release();
    EXPECT_EQ(getLong(control, DISPID_INK_PENWIDTH), 9);
    EXPECT_EQ(getLong(control, DISPID_INK_ENABLED), 0);
    persist->Release();
}

TEST_F(Host, PropertyBagByNameAndStorageContents) {
    auto* bagPersist = as<IPersistPropertyBag>(IID_IPersistPropertyBag);
    ASSERT_EQ(put(control, DISPID_INK_BORDERWIDTH, i4(3)), S_OK);
    auto* bag = new PropertyBag;
    ASSERT_EQ(bagPersist->Save(bag, TRUE, TRUE), S_OK);
    EXPECT_EQ(bag->values.size(), 11u);
    EXPECT_EQ(bag->values[u"BorderWidth"].lVal, 3);
    EXPECT_EQ(bag->values[u"Enabled"].vt, VT_BOOL);
    // Loading takes what the bag has and keeps the rest.
    auto* partial = new PropertyBag;
    VARIANT pen = i4(6);
    partial->Write(u"PenWidth", &pen);
    EXPECT_EQ(bagPersist->Load(partial, nullptr), S_OK);
    EXPECT_EQ(getLong(control, DISPID_INK_PENWIDTH), 6);
    EXPECT_EQ(getLong(control, DISPID_INK_BORDERWIDTH), 3);
    VARIANT bad = i4(-4);
    partial->Write(u"BorderWidth", &bad);
    EXPECT_EQ(bagPersist->Load(partial, nullptr), CTL_E_INVALIDPROPERTYVALUE);
    EXPECT_EQ(getLong(control, DISPID_INK_BORDERWIDTH), 3);
    partial->Release();
    bag->Release();
    bagPersist->Release();

    auto* storagePersist = as<IPersistStorage>(IID_IPersistStorage);
    auto* storage = new MemoryStorage;
    ASSERT_EQ(storagePersist->Save(storage, TRUE), S_OK);
    ASSERT_EQ(storage->streams.count(u"Contents"), 1u);
    EXPECT_EQ(storage->streams[u"Contents"]->bytes.size(), defaultStream().size());
    ASSERT_EQ(put(control, DISPID_INK_PENWIDTH, i4(2)), S_OK);
    EXPECT_EQ(storagePersist->Load(storage), S_OK);
    EXPECT_EQ(getLong(control, DISPID_INK_PENWIDTH), 6);
    storage->Release();
    storagePersist->Release();
}
