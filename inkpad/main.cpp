// scribane-pad: a small host for the ink control. It knows the control only through the
// class registry and <scribane/scribane.h>: it creates "Scribane.InkControl", places it
// in its window, drives it through IDispatch and listens to its events.
//
//   scribane-pad [--register MODULE] [--screenshot FILE]
//
// --register runs the module's DllRegisterServer first (as regsvr32 would).
// --screenshot writes a signature with synthetic mouse events, saves a picture of the
// window to FILE and quits; it works on the offscreen platform.
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDateTime>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cmath>
#include <functional>
#include <scribane/scribane.h>

namespace {

constexpr int kPadWidth = 480;
constexpr int kPadHeight = 220;

// The site the control is placed on: it tells the control it runs in user mode.
class PadSite final : public scribane::Counted<IOleClientSite>, public IDispatch {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
            return answer(object, static_cast<IOleClientSite*>(this));
        }
        if (riid == IID_IDispatch) {
            return answer(object, static_cast<IDispatch*>(this));
        }
        return answer(object, nullptr);
    }
    // One count for both interfaces.
    ULONG AddRef() override { return Counted::AddRef(); }
    ULONG Release() override { return Counted::Release(); }
    HRESULT SaveObject() override { return S_OK; }
    HRESULT GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
    HRESULT ShowObject() override { return S_OK; }
    HRESULT OnShowWindow(BOOL) override { return S_OK; }
    HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }
    HRESULT GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                   UINT*) override {
        if (id != DISPID_AMBIENT_USERMODE || !result) {
            return DISP_E_MEMBERNOTFOUND;
        }
        result->vt = VT_BOOL;
        result->boolVal = VARIANT_TRUE;
        return S_OK;
    }
};

// Receives MouseDown/MouseMove/MouseUp.
class EventSink final : public scribane::Counted<IDispatch> {
public:
    explicit EventSink(std::function<void(DISPID, int, int, int, int)> onEvent)
        : onEvent_(std::move(onEvent)) {}
    HRESULT QueryInterface(REFIID riid, void** object) override {
        const bool known =
            riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_IInkControlEvents;
        return answer(object, known ? static_cast<IDispatch*>(this) : nullptr);
    }
    HRESULT GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                   UINT*) override {
        if (!p || p->cArgs != 4) {
            return DISP_E_BADPARAMCOUNT;
        }
        // Arguments arrive last first: Y, X, Shift, Button.
        onEvent_(id, p->rgvarg[3].iVal, p->rgvarg[2].iVal, p->rgvarg[1].lVal, p->rgvarg[0].lVal);
        return S_OK;
    }

private:
    std::function<void(DISPID, int, int, int, int)> onEvent_;
};

// Hears about property changes.
class ChangeSink final : public scribane::Counted<IPropertyNotifySink> {
public:
    explicit ChangeSink(std::function<void(DISPID)> onChanged) : onChanged_(std::move(onChanged)) {}
    HRESULT QueryInterface(REFIID riid, void** object) override {
        const bool known = riid == IID_IUnknown || riid == IID_IPropertyNotifySink;
        return answer(object, known ? static_cast<IPropertyNotifySink*>(this) : nullptr);
    }
    HRESULT OnChanged(DISPID id) override {
        onChanged_(id);
        return S_OK;
    }
    HRESULT OnRequestEdit(DISPID) override { return S_OK; }

private:
    std::function<void(DISPID)> onChanged_;
};

QString hresultText(HRESULT hr) {
    return QStringLiteral("0x%1").arg(quint32(hr), 8, 16, QLatin1Char('0')).toUpper();
}

OLE_COLOR toOleColor(const QColor& c) {
    return OLE_COLOR(c.red()) | OLE_COLOR(c.green()) << 8 | OLE_COLOR(c.blue()) << 16;
}

class Pad : public QWidget {
public:
    Pad() {
        setWindowTitle(QStringLiteral("Scribane pad"));
        auto* layout = new QHBoxLayout(this);
        auto* left = new QVBoxLayout;
        layout->addLayout(left, 1);

        auto* title = new QLabel(QStringLiteral("<b>Sign here</b>"));
        left->addWidget(title);
        surface_ = new QWidget;
        surface_->setFixedSize(kPadWidth, kPadHeight);
        surface_->setAttribute(Qt::WA_NativeWindow);
        left->addWidget(surface_);
        modified_ = new QLabel;
        left->addWidget(modified_);

        auto* buttons = new QHBoxLayout;
        left->addLayout(buttons);
        addButton(buttons, "Clear", [this] { report("Clear", callMethod(DISPID_INK_CLEAR)); });
        addButton(buttons, "Save...", [this] { saveImage(); });
        addButton(buttons, "Load...", [this] { loadImage(); });
        addButton(buttons, "Background...", [this] { chooseBackground(); });
        addButton(buttons, "No background", [this] { setBackImage(QString()); });

        auto* log = new QGroupBox(QStringLiteral("Events"));
        auto* logLayout = new QVBoxLayout(log);
        log_ = new QPlainTextEdit;
        log_->setReadOnly(true);
        log_->setMaximumBlockCount(500);
        log_->setMinimumHeight(140);
        logLayout->addWidget(log_);
        left->addWidget(log);

        auto* settings = new QGroupBox(QStringLiteral("Settings"));
        auto* form = new QFormLayout(settings);
        layout->addWidget(settings);

        rotation_ = new QComboBox;
        for (int a : {0, 90, 180, 270})
            rotation_->addItem(QString::number(a) + QStringLiteral("°"), a);
        connect(rotation_, &QComboBox::currentIndexChanged, this,
                [this] { putLong(DISPID_INK_ROTATION, rotation_->currentData().toInt()); });
        form->addRow(QStringLiteral("Rotation"), rotation_);

        penWidth_ = new QSpinBox;
        penWidth_->setRange(1, 40);
        penWidth_->setValue(3);
        connect(penWidth_, &QSpinBox::valueChanged, this,
                [this](int v) { putLong(DISPID_INK_PENWIDTH, v); });
        form->addRow(QStringLiteral("Pen width"), penWidth_);

        borderWidth_ = new QSpinBox;
        borderWidth_->setRange(0, 40);
        borderWidth_->setValue(2);
        connect(borderWidth_, &QSpinBox::valueChanged, this,
                [this](int v) { putLong(DISPID_INK_BORDERWIDTH, v); });
        form->addRow(QStringLiteral("Border width"), borderWidth_);

        form->addRow(QStringLiteral("Ink colour"),
                     colourButton(DISPID_INK_FORECOLOR, QColor(20, 40, 140)));
        form->addRow(QStringLiteral("Background"),
                     colourButton(DISPID_INK_BACKCOLOR, QColor(255, 253, 240)));
        form->addRow(QStringLiteral("Border colour"),
                     colourButton(DISPID_INK_BORDERCOLOR, QColor(120, 120, 120)));

        const std::pair<const char*, DISPID> sends[] = {
            {"Send MouseDown", DISPID_INK_SENDMOUSEDOWN},
            {"Send MouseMove", DISPID_INK_SENDMOUSEMOVE},
            {"Send MouseUp", DISPID_INK_SENDMOUSEUP}};
        for (const auto& [label, id] : sends) {
            auto* box = new QCheckBox(QString::fromLatin1(label));
            box->setChecked(id != DISPID_INK_SENDMOUSEMOVE);
            const DISPID dispid = id;
            connect(box, &QCheckBox::toggled, this, [this, dispid](bool on) {
                VARIANT v;
                VariantInit(&v);
                v.vt = VT_BOOL;
                v.boolVal = on ? VARIANT_TRUE : VARIANT_FALSE;
                putValue(dispid, v);
            });
            sendBoxes_.push_back({box, id});
            form->addRow(box);
        }
    }

    ~Pad() override { release(); }

    // Creates the control through the registry and places it in the pad.
    bool start(QString* error) {
        HRESULT hr = scribane::createInstance("Scribane.InkControl", IID_IDispatch,
                                              reinterpret_cast<void**>(&control_));
        if (FAILED(hr)) {
            *error = QStringLiteral("Scribane.InkControl is not registered in %1 (%2).\n"
                                    "Register it with: scribane-pad --register "
                                    "path/to/libscribane.so")
                         .arg(QString::fromStdString(scribane::registryPath()), hresultText(hr));
            return false;
        }
        site_ = new PadSite;
        IOleObject* ole = nullptr;
        control_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole));
        ole->SetClientSite(site_);
        RECT r{0, 0, kPadWidth, kPadHeight};
        hr = ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, HWND(surface_->winId()), &r);
        ole->Release();
        if (FAILED(hr)) {
            *error = QStringLiteral("The control could not be placed (%1).").arg(hresultText(hr));
            return false;
        }
        events_ = new EventSink([this](DISPID id, int button, int shift, int x, int y) {
            const char* name = id == DISPID_INK_MOUSEDOWN   ? "MouseDown"
                               : id == DISPID_INK_MOUSEMOVE ? "MouseMove"
                                                            : "MouseUp";
            log(QStringLiteral("%1  Button=%2 Shift=%3 X=%4 Y=%5")
                    .arg(QString::fromLatin1(name))
                    .arg(button)
                    .arg(shift)
                    .arg(x)
                    .arg(y));
        });
        changes_ = new ChangeSink([this](DISPID id) {
            if (id == DISPID_INK_MODIFIED)
                showModified();
        });
        eventsCookie_ = advise(DIID_IInkControlEvents, events_);
        changesCookie_ = advise(IID_IPropertyNotifySink, changes_);

        // The pad's starting look.
        putLong(DISPID_INK_PENWIDTH, penWidth_->value());
        putLong(DISPID_INK_BORDERWIDTH, borderWidth_->value());
        for (auto& [box, id] : sendBoxes_) {
            VARIANT v;
            VariantInit(&v);
            v.vt = VT_BOOL;
            v.boolVal = box->isChecked() ? VARIANT_TRUE : VARIANT_FALSE;
            putValue(id, v);
        }
        for (auto& [id, colour] : colours_)
            putLong(id, LONG(toOleColor(colour)));
        showModified();
        VARIANT hwnd;
        VariantInit(&hwnd);
        getValue(DISPID_INK_HWND, &hwnd);
        log(QStringLiteral("Control created from %1, window %2")
                .arg(QString::fromStdString(scribane::registryPath()))
                .arg(hwnd.lVal));
        return true;
    }

    // The control's own window, to send it synthetic pointer input.
    QWidget* controlWindow() {
        VARIANT v;
        VariantInit(&v);
        if (FAILED(getValue(DISPID_INK_HWND, &v)))
            return nullptr;
        return QWidget::find(WId(v.lVal));
    }

private:
    void addButton(QHBoxLayout* row, const char* text, std::function<void()> action) {
        auto* b = new QPushButton(QString::fromLatin1(text));
        connect(b, &QPushButton::clicked, this, std::move(action));
        row->addWidget(b);
    }

    QPushButton* colourButton(DISPID id, QColor initial) {
        auto* b = new QPushButton;
        colours_.push_back({id, initial});
        auto paint = [b](const QColor& c) {
            b->setText(c.name());
            b->setStyleSheet(QStringLiteral("background:%1; color:%2")
                                 .arg(c.name(), c.lightness() > 128 ? "black" : "white"));
        };
        paint(initial);
        connect(b, &QPushButton::clicked, this, [this, id, b, paint] {
            const QColor c = QColorDialog::getColor(b->text(), this);
            if (!c.isValid())
                return;
            paint(c);
            putLong(id, LONG(toOleColor(c)));
        });
        return b;
    }

    DWORD advise(REFIID iid, IUnknown* sink) {
        IConnectionPointContainer* cpc = nullptr;
        IConnectionPoint* cp = nullptr;
        DWORD cookie = 0;
        if (SUCCEEDED(control_->QueryInterface(IID_IConnectionPointContainer,
                                               reinterpret_cast<void**>(&cpc)))) {
            if (SUCCEEDED(cpc->FindConnectionPoint(iid, &cp))) {
                cp->Advise(sink, &cookie);
                cp->Release();
            }
            cpc->Release();
        }
        return cookie;
    }

    void unadvise(REFIID iid, DWORD cookie) {
        IConnectionPointContainer* cpc = nullptr;
        IConnectionPoint* cp = nullptr;
        if (cookie && SUCCEEDED(control_->QueryInterface(IID_IConnectionPointContainer,
                                                         reinterpret_cast<void**>(&cpc)))) {
            if (SUCCEEDED(cpc->FindConnectionPoint(iid, &cp))) {
                cp->Unadvise(cookie);
                cp->Release();
            }
            cpc->Release();
        }
    }

    void release() {
        if (control_) {
            unadvise(DIID_IInkControlEvents, eventsCookie_);
            unadvise(IID_IPropertyNotifySink, changesCookie_);
            IOleObject* ole = nullptr;
            if (SUCCEEDED(
                    control_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)))) {
                ole->Close(OLECLOSE_NOSAVE);
                ole->SetClientSite(nullptr);
                ole->Release();
            }
            control_->Release();
            control_ = nullptr;
        }
        for (IUnknown* p : std::initializer_list<IUnknown*>{events_, changes_,
                                                            static_cast<IOleClientSite*>(site_)})
            if (p)
                p->Release();
        events_ = nullptr;
        changes_ = nullptr;
        site_ = nullptr;
    }

    HRESULT invoke(DISPID id, WORD flags, VARIANT* args, UINT count, VARIANT* result) {
        if (!control_)
            return E_UNEXPECTED;
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{args, flags == DISPATCH_PROPERTYPUT ? &named : nullptr, count,
                          flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
        return control_->Invoke(id, IID_NULL, 0, flags, &params, result, nullptr, nullptr);
    }
    HRESULT putValue(DISPID id, VARIANT v) {
        return invoke(id, DISPATCH_PROPERTYPUT, &v, 1, nullptr);
    }
    HRESULT getValue(DISPID id, VARIANT* out) {
        return invoke(id, DISPATCH_PROPERTYGET, nullptr, 0, out);
    }
    void putLong(DISPID id, LONG value) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_I4;
        v.lVal = value;
        const HRESULT hr = putValue(id, v);
        if (FAILED(hr))
            report("Setting a property", hr);
    }
    HRESULT callMethod(DISPID id, const QString* argument = nullptr) {
        VARIANT arg;
        VariantInit(&arg);
        if (argument) {
            const std::u16string text = argument->toStdU16String();
            arg.vt = VT_BSTR;
            arg.bstrVal = SysAllocStringLen(text.data(), UINT(text.size()));
        }
        const HRESULT hr =
            invoke(id, DISPATCH_METHOD, argument ? &arg : nullptr, argument ? 1 : 0, nullptr);
        VariantClear(&arg);
        return hr;
    }

    void setBackImage(const QString& file) {
        const std::u16string text = file.toStdU16String();
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = text.empty() ? nullptr : SysAllocStringLen(text.data(), UINT(text.size()));
        report("Background image", putValue(DISPID_INK_BACKIMAGE, v));
        VariantClear(&v);
    }

    void saveImage() {
        const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Save signature"),
                                                          QStringLiteral("signature.bmp"),
                                                          QStringLiteral("Bitmaps (*.bmp)"));
        if (!file.isEmpty())
            report("SaveImage", callMethod(DISPID_INK_SAVEIMAGE, &file));
    }
    void loadImage() {
        const QString file = QFileDialog::getOpenFileName(
            this, QStringLiteral("Load signature"), QString(), QStringLiteral("Bitmaps (*.bmp)"));
        if (!file.isEmpty())
            report("LoadImage", callMethod(DISPID_INK_LOADIMAGE, &file));
    }
    void chooseBackground() {
        const QString file =
            QFileDialog::getOpenFileName(this, QStringLiteral("Background image"), QString(),
                                         QStringLiteral("Images (*.png *.jpg *.jpeg *.gif *.bmp)"));
        if (!file.isEmpty())
            setBackImage(file);
    }

    void report(const char* what, HRESULT hr) {
        log(QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                         hr == S_OK ? QStringLiteral("done") : hresultText(hr)));
    }
    void log(const QString& line) {
        log_->appendPlainText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz  ")) +
                              line);
    }
    void showModified() {
        VARIANT v;
        VariantInit(&v);
        getValue(DISPID_INK_MODIFIED, &v);
        modified_->setText(v.boolVal ? QStringLiteral("Modified: yes")
                                     : QStringLiteral("Modified: no"));
    }

    QWidget* surface_ = nullptr;
    QLabel* modified_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QComboBox* rotation_ = nullptr;
    QSpinBox* penWidth_ = nullptr;
    QSpinBox* borderWidth_ = nullptr;
    std::vector<std::pair<QCheckBox*, DISPID>> sendBoxes_;
    std::vector<std::pair<DISPID, QColor>> colours_;
    IDispatch* control_ = nullptr;
    PadSite* site_ = nullptr;
    EventSink* events_ = nullptr;
    ChangeSink* changes_ = nullptr;
    DWORD eventsCookie_ = 0;
    DWORD changesCookie_ = 0;
};

// Writes a signature the way a hand would: press, a stream of moves, release.
void writeSignature(QWidget* window) {
    auto send = [window](QEvent::Type type, QPointF at, Qt::MouseButton button,
                         Qt::MouseButtons held) {
        QMouseEvent e(type, at, window->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(window, &e);
    };
    auto stroke = [&](const std::function<QPointF(double)>& curve, int steps) {
        send(QEvent::MouseButtonPress, curve(0), Qt::LeftButton, Qt::LeftButton);
        for (int i = 1; i <= steps; ++i)
            send(QEvent::MouseMove, curve(double(i) / steps), Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, curve(1), Qt::LeftButton, Qt::NoButton);
    };
    const double pi = 3.14159265358979;
    // A capital with a loop at its foot...
    stroke(
        [pi](double t) {
            if (t < 0.45)
                return QPointF(70 - 12 * t, 40 + 250 * t);
            const double u = (t - 0.45) / 0.55;
            return QPointF(64 - 30 * std::sin(2 * pi * u),
                           152 - 26 * std::sin(pi * u) - 10 * std::cos(2 * pi * u) + 10);
        },
        160);
    // ...a running hand of uneven loops leaning to the right...
    stroke(
        [pi](double t) {
            const double a = 6.5 * 2 * pi * t;
            const double height = 26 + 16 * std::sin(5.3 * t + 0.7) + 10 * std::sin(11.0 * t);
            return QPointF(78 + 320 * t - 16 * std::sin(a) + 10 * std::cos(a),
                           122 - height * (1 - std::cos(a)) * 0.55 - 12 * std::sin(pi * t));
        },
        700);
    // ...a dot...
    stroke([](double t) { return QPointF(300 + 3 * t, 60 + 3 * t); }, 3);
    // ...and a flourish underneath.
    stroke(
        [pi](double t) {
            return QPointF(44 + 400 * t, 182 - 6 * std::sin(pi * t) - 26 * t * t * t);
        },
        140);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("scribane-pad"));
    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral("Demonstration host of the ink control"));
    args.addHelpOption();
    QCommandLineOption registerOption(
        QStringLiteral("register"), QStringLiteral("Register MODULE in the class registry first."),
        QStringLiteral("MODULE"));
    QCommandLineOption shotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Write a signature, save a picture to FILE, quit."), QStringLiteral("FILE"));
    args.addOption(registerOption);
    args.addOption(shotOption);
    args.process(app);

    if (args.isSet(registerOption)) {
        const HRESULT hr =
            scribane::registerServer(args.value(registerOption).toLocal8Bit().constData());
        if (FAILED(hr)) {
            qCritical("Registering %s failed: %s", qPrintable(args.value(registerOption)),
                      qPrintable(hresultText(hr)));
            return 1;
        }
    }

    Pad pad;
    pad.show();
    QString error;
    if (!pad.start(&error)) {
        qCritical("%s", qPrintable(error));
        if (!args.isSet(shotOption) &&
            QGuiApplication::platformName() != QLatin1String("offscreen"))
            QMessageBox::critical(&pad, QStringLiteral("Scribane pad"), error);
        return 1;
    }
    if (args.isSet(shotOption)) {
        QWidget* window = pad.controlWindow();
        if (!window) {
            qCritical("The control has no window.");
            return 1;
        }
        writeSignature(window);
        QApplication::processEvents();
        if (!pad.grab().save(args.value(shotOption))) {
            qCritical("Could not write %s", qPrintable(args.value(shotOption)));
            return 1;
        }
        return 0;
    }
    return app.exec();
}
