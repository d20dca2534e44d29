// The COM+ administration catalog, as the installer uses it: the Applications collection and the
// Components of one application, walked by index; creating and removing applications and
// components; installing a library's classes into an application; shutting an application down.
//
// Two implementations: on Windows the COMAdmin catalog through COM (COMAdmin.COMAdminCatalog,
// ICOMAdminCatalog, ICatalogCollection, ICatalogObject); elsewhere a file-backed stand-in (its
// format: docs/complus-libraries.md). Every failure is thrown as a ComPlusError with the
// system's message.
#pragma once

#include <QString>
#include <QVariant>

#include <memory>
#include <stdexcept>

namespace tivra {

class ComPlusError : public std::runtime_error {
public:
    explicit ComPlusError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// One item of a collection: an application or a component.
class CatalogObject {
public:
    virtual ~CatalogObject() = default;
    virtual QString name() const = 0;
    virtual QString key() const = 0;
    virtual QVariant value(const QString &property) const = 0;
    virtual void setValue(const QString &property, const QVariant &value) = 0;
};

// A collection of the catalog. Its items keep their order until the changes are saved.
class CatalogCollection {
public:
    virtual ~CatalogCollection() = default;
    virtual void populate() = 0;
    virtual int count() const = 0;
    virtual std::unique_ptr<CatalogObject> item(int index) = 0;
    virtual void remove(int index) = 0;
    // A new item, stored by saveChanges().
    virtual std::unique_ptr<CatalogObject> add() = 0;
    // Stores the changes; returns the number of objects changed.
    virtual int saveChanges() = 0;
    // A related collection ("Components") of the object with that key.
    virtual std::unique_ptr<CatalogCollection> getCollection(const QString &name, const QString &objectKey) = 0;
};

class ComAdminCatalog {
public:
    virtual ~ComAdminCatalog() = default;

    // The local machine's catalog. Elsewhere than on Windows: the stand-in file named by
    // TIVRA_COMPLUS_CATALOG, else "COMPlusCatalog.ini" in the installer directory.
    static std::unique_ptr<ComAdminCatalog> open(const QString &installerDirectory);

    // A top-level collection ("Applications").
    virtual std::unique_ptr<CatalogCollection> getCollection(const QString &name) = 0;
    // Registers every COM class of the library as a component of the application.
    virtual void installComponent(const QString &applicationKey, const QString &library,
                                  const QString &typeLibrary, const QString &proxyStub) = 0;
    // Stops the application's running server process.
    virtual void shutdownApplication(const QString &name) = 0;
};

// Where the stand-in keeps its catalog: TIVRA_COMPLUS_CATALOG, else "COMPlusCatalog.ini" in the
// installer directory.
QString comPlusCatalogPath(const QString &installerDirectory);

// The file-backed stand-in kept at that path; built on every system.
std::unique_ptr<ComAdminCatalog> openFileBackedCatalog(const QString &path);

// The catalog the COM+ stages work on: the system's (ComAdminCatalog::open), or the file-backed
// stand-in at comPlusCatalogPath when TIVRA_COMPLUS_STANDIN is 1. The tests set it, so that on
// Windows they never touch the machine's real COM+ catalog; a rehearsal on Windows may set it too.
std::unique_ptr<ComAdminCatalog> openComPlusCatalog(const QString &installerDirectory);

// Windows version classes that decide which application properties may be set.
enum class WindowsVersionClass {
    Older,         // 16/32-bit consumer platforms, NT 3 and 4, NT 5 minor versions other than 0 to 2
    Windows2000,   // NT 5.0
    WindowsXP,     // NT 5.1
    Server2003,    // NT 5.2
    Later,         // NT 6.x
    Unclassified,  // anything else: newer than all
};

// Platform identifiers as the system reports them (VER_PLATFORM_WIN32s, _WINDOWS, _NT).
inline constexpr int kPlatformWin32s = 0;
inline constexpr int kPlatformWin32Windows = 1;
inline constexpr int kPlatformWin32NT = 2;

WindowsVersionClass classifyWindowsVersion(int platformId, int major, int minor);
// The class of the running system (a system that is not Windows fits no class).
WindowsVersionClass currentWindowsVersionClass();

}  // namespace tivra
