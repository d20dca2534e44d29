// The COM+ administration catalog of Windows through COM: COMAdmin.COMAdminCatalog with
// ICOMAdminCatalog, ICatalogCollection and ICatalogObject.
#include "deploy/comcatalog.h"

#include <QDir>

#include <windows.h>
#include <comadmin.h>
#include <oleauto.h>
#include <wrl/client.h>

namespace tivra {

namespace {

using Microsoft::WRL::ComPtr;

// The message of a failed call: the rich error information when the object set one, else the
// system's text for the HRESULT.
[[noreturn]] void raise(HRESULT result)
{
    QString message;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        BSTR description = nullptr;
        if (SUCCEEDED(info->GetDescription(&description)) && description) {
            message = QString::fromWCharArray(description, static_cast<qsizetype>(SysStringLen(description)));
            SysFreeString(description);
        }
    }
    if (message.trimmed().isEmpty()) {
        wchar_t *buffer = nullptr;
        const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                                | FORMAT_MESSAGE_IGNORE_INSERTS,
                                            nullptr, static_cast<DWORD>(result), 0,
                                            reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
        message = length ? QString::fromWCharArray(buffer, static_cast<qsizetype>(length))
                         : QStringLiteral("Erro 0x%1").arg(static_cast<quint32>(result), 8, 16, QLatin1Char('0'));
        if (buffer)
            LocalFree(buffer);
    }
    throw ComPlusError(message.trimmed());
}

void check(HRESULT result)
{
    if (FAILED(result))
        raise(result);
}

// A BSTR owned for the length of a call.
class Bstr {
public:
    explicit Bstr(const QString &text)
        : m_value(SysAllocStringLen(reinterpret_cast<const OLECHAR *>(text.utf16()), static_cast<UINT>(text.size())))
    {
        if (!m_value && !text.isEmpty())
            raise(E_OUTOFMEMORY);
    }
    ~Bstr() { SysFreeString(m_value); }
    Bstr(const Bstr &) = delete;
    Bstr &operator=(const Bstr &) = delete;
    BSTR get() const { return m_value; }

private:
    BSTR m_value;
};

// A VARIANT cleared when it goes out of scope.
class Variant {
public:
    Variant() { VariantInit(&m_value); }
    ~Variant() { VariantClear(&m_value); }
    Variant(const Variant &) = delete;
    Variant &operator=(const Variant &) = delete;
    VARIANT *out() { return &m_value; }
    const VARIANT &get() const { return m_value; }

private:
    VARIANT m_value;
};

QString variantText(const VARIANT &value)
{
    Variant text;
    // VariantChangeType only reads its source, but the SDK declares it without const.
    if (FAILED(VariantChangeType(text.out(), const_cast<VARIANT *>(&value), 0, VT_BSTR)) || !text.get().bstrVal)
        return {};
    return QString::fromWCharArray(text.get().bstrVal, static_cast<qsizetype>(SysStringLen(text.get().bstrVal)));
}

QVariant toQVariant(const VARIANT &value)
{
    switch (value.vt) {
    case VT_BOOL:
        return value.boolVal != VARIANT_FALSE;
    case VT_I2:
        return int(value.iVal);
    case VT_I4:
    case VT_INT:
        return int(value.lVal);
    case VT_UI4:
    case VT_UINT:
        return uint(value.ulVal);
    case VT_EMPTY:
    case VT_NULL:
        return {};
    default:
        return variantText(value);
    }
}

// Fills a VARIANT from a QVariant: booleans, integers and text are all the catalog takes.
void fromQVariant(const QVariant &value, VARIANT *out)
{
    VariantInit(out);
    switch (value.typeId()) {
    case QMetaType::Bool:
        out->vt = VT_BOOL;
        out->boolVal = value.toBool() ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        out->vt = VT_I4;
        out->lVal = static_cast<LONG>(value.toLongLong());
        break;
    default: {
        const QString text = value.toString();
        out->vt = VT_BSTR;
        out->bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR *>(text.utf16()), static_cast<UINT>(text.size()));
        break;
    }
    }
}

// COM stays initialised on this thread for as long as a catalog object lives.
class ComApartment {
public:
    ComApartment()
    {
        const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        m_initialised = SUCCEEDED(result);  // RPC_E_CHANGED_MODE: already initialised otherwise
        if (FAILED(result) && result != RPC_E_CHANGED_MODE)
            raise(result);
    }
    ~ComApartment()
    {
        if (m_initialised)
            CoUninitialize();
    }
    ComApartment(const ComApartment &) = delete;
    ComApartment &operator=(const ComApartment &) = delete;

private:
    bool m_initialised = false;
};

class ComCatalogObject final : public CatalogObject {
public:
    explicit ComCatalogObject(ComPtr<ICatalogObject> object) : m_object(std::move(object)) {}

    QString name() const override
    {
        Variant value;
        check(m_object->get_Name(value.out()));
        return variantText(value.get());
    }
    QString key() const override
    {
        Variant value;
        check(m_object->get_Key(value.out()));
        return variantText(value.get());
    }
    QVariant value(const QString &property) const override
    {
        Bstr name(property);
        Variant value;
        check(m_object->get_Value(name.get(), value.out()));
        return toQVariant(value.get());
    }
    void setValue(const QString &property, const QVariant &value) override
    {
        Bstr name(property);
        Variant converted;
        fromQVariant(value, converted.out());
        check(m_object->put_Value(name.get(), converted.get()));
    }

private:
    ComPtr<ICatalogObject> m_object;
};

ComPtr<ICatalogObject> asCatalogObject(IDispatch *dispatch)
{
    ComPtr<ICatalogObject> object;
    if (!dispatch)
        raise(E_POINTER);
    check(dispatch->QueryInterface(IID_PPV_ARGS(object.GetAddressOf())));
    return object;
}

ComPtr<ICatalogCollection> asCatalogCollection(IDispatch *dispatch)
{
    ComPtr<ICatalogCollection> collection;
    if (!dispatch)
        raise(E_POINTER);
    check(dispatch->QueryInterface(IID_PPV_ARGS(collection.GetAddressOf())));
    return collection;
}

class ComCatalogCollection final : public CatalogCollection {
public:
    explicit ComCatalogCollection(ComPtr<ICatalogCollection> collection) : m_collection(std::move(collection)) {}

    void populate() override { check(m_collection->Populate()); }
    int count() const override
    {
        LONG value = 0;
        check(m_collection->get_Count(&value));
        return static_cast<int>(value);
    }
    std::unique_ptr<CatalogObject> item(int index) override
    {
        ComPtr<IDispatch> dispatch;
        check(m_collection->get_Item(index, dispatch.GetAddressOf()));
        return std::make_unique<ComCatalogObject>(asCatalogObject(dispatch.Get()));
    }
    void remove(int index) override { check(m_collection->Remove(index)); }
    std::unique_ptr<CatalogObject> add() override
    {
        ComPtr<IDispatch> dispatch;
        check(m_collection->Add(dispatch.GetAddressOf()));
        return std::make_unique<ComCatalogObject>(asCatalogObject(dispatch.Get()));
    }
    int saveChanges() override
    {
        LONG changed = 0;
        check(m_collection->SaveChanges(&changed));
        return static_cast<int>(changed);
    }
    std::unique_ptr<CatalogCollection> getCollection(const QString &name, const QString &objectKey) override
    {
        Bstr collectionName(name);
        VARIANT key;
        VariantInit(&key);
        key.vt = VT_BSTR;
        key.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR *>(objectKey.utf16()),
                                        static_cast<UINT>(objectKey.size()));
        ComPtr<IDispatch> dispatch;
        const HRESULT result = m_collection->GetCollection(collectionName.get(), key, dispatch.GetAddressOf());
        VariantClear(&key);
        check(result);
        return std::make_unique<ComCatalogCollection>(asCatalogCollection(dispatch.Get()));
    }

private:
    ComPtr<ICatalogCollection> m_collection;
};

class WindowsComAdminCatalog final : public ComAdminCatalog {
public:
    WindowsComAdminCatalog()
    {
        check(CoCreateInstance(__uuidof(COMAdminCatalog), nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(m_catalog.GetAddressOf())));
    }

    std::unique_ptr<CatalogCollection> getCollection(const QString &name) override
    {
        Bstr collectionName(name);
        ComPtr<IDispatch> dispatch;
        check(m_catalog->GetCollection(collectionName.get(), dispatch.GetAddressOf()));
        return std::make_unique<ComCatalogCollection>(asCatalogCollection(dispatch.Get()));
    }
    void installComponent(const QString &applicationKey, const QString &library, const QString &typeLibrary,
                           const QString &proxyStub) override
    {
        Bstr key(applicationKey);
        Bstr dll(QDir::toNativeSeparators(library));
        Bstr tlb(typeLibrary);
        Bstr psDll(proxyStub);
        check(m_catalog->InstallComponent(key.get(), dll.get(), tlb.get(), psDll.get()));
    }
    void shutdownApplication(const QString &name) override
    {
        Bstr application(name);
        check(m_catalog->ShutdownApplication(application.get()));
    }

private:
    ComApartment m_apartment;  // declared first: initialised before, released after the catalog
    ComPtr<ICOMAdminCatalog> m_catalog;
};

}  // namespace

std::unique_ptr<ComAdminCatalog> ComAdminCatalog::open(const QString &)
{
    return std::make_unique<WindowsComAdminCatalog>();
}

// The version the system reports of itself: RtlGetVersion, which, unlike GetVersionEx, is not
// shimmed to an older version for programs without a compatibility manifest.
WindowsVersionClass currentWindowsVersionClass()
{
    using RtlGetVersionFunction = LONG(WINAPI *)(PRTL_OSVERSIONINFOW);
    RTL_OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    bool known = false;
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        const auto rtlGetVersion =
            reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void *>(GetProcAddress(ntdll, "RtlGetVersion")));
        known = rtlGetVersion && rtlGetVersion(&info) == 0;
    }
    if (!known)
        return WindowsVersionClass::Unclassified;
    return classifyWindowsVersion(static_cast<int>(info.dwPlatformId), static_cast<int>(info.dwMajorVersion),
                                  static_cast<int>(info.dwMinorVersion));
}

}  // namespace tivra
