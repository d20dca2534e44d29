// The COM+ catalog stand-in: a text file that lists the applications with their properties and
// components, and keeps a journal of what the installer did to them. The catalog of systems
// without COM+, and the one the tests use on every system.
#include "deploy/comcatalog.h"

#include "core/clock.h"
#include "platform/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>

#include <algorithm>
#include <utility>
#include <vector>

namespace tivra {

namespace {

constexpr int kJournalLines = 1000;

struct StandInApplication {
    QString name;
    QString key;
    std::vector<std::pair<QString, QString>> properties;  // in the order first set
    QStringList components;                                // library paths
    int shutdowns = 0;
};

struct StandInDocument {
    std::vector<StandInApplication> applications;
    QStringList journal;

    StandInApplication *findKey(const QString &key)
    {
        for (StandInApplication &application : applications) {
            if (application.key == key)
                return &application;
        }
        return nullptr;
    }
    void record(const QString &event)
    {
        journal.append(currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QLatin1Char(' ') + event);
        if (journal.size() > kJournalLines)
            journal.erase(journal.begin(), journal.begin() + (journal.size() - kJournalLines));
    }
};

QString propertyText(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return value.toString();
}

StandInDocument loadDocument(const QString &path)
{
    StandInDocument document;
    if (!QFileInfo::exists(path))
        return document;  // no catalog yet: no applications
    bool ok = false;
    const QStringList lines = platform::readTextLines(path, &ok);
    if (!ok)
        throw ComPlusError(QStringLiteral("Não foi possível ler o catálogo COM+ \"") + path + QStringLiteral("\"."));
    enum class Part { None, Application, Journal } part = Part::None;
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const QString section = line.mid(1, line.size() - 2).trimmed();
            if (section.compare(QStringLiteral("Application"), Qt::CaseInsensitive) == 0) {
                part = Part::Application;
                document.applications.emplace_back();
            } else if (section.compare(QStringLiteral("Journal"), Qt::CaseInsensitive) == 0) {
                part = Part::Journal;
            } else {
                part = Part::None;
            }
            continue;
        }
        if (part == Part::Journal) {
            document.journal.append(line);
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (part != Part::Application || equals <= 0)
            continue;
        StandInApplication &application = document.applications.back();
        const QString name = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (name.compare(QStringLiteral("Name"), Qt::CaseInsensitive) == 0)
            application.name = value;
        else if (name.compare(QStringLiteral("Key"), Qt::CaseInsensitive) == 0)
            application.key = value;
        else if (name.compare(QStringLiteral("Component"), Qt::CaseInsensitive) == 0)
            application.components.append(value);
        else if (name.compare(QStringLiteral("Shutdowns"), Qt::CaseInsensitive) == 0)
            application.shutdowns = value.toInt();
        else
            application.properties.emplace_back(name, value);
    }
    // An application written by hand without a key gets one derived from its name.
    for (StandInApplication &application : document.applications) {
        if (application.key.isEmpty())
            application.key = QUuid::createUuidV5(QUuid(), application.name).toString().toUpper();
    }
    return document;
}

void saveDocument(const QString &path, const StandInDocument &document)
{
    QStringList lines{QStringLiteral("; COM+ catalog stand-in of the Tivra update installer")};
    for (const StandInApplication &application : document.applications) {
        lines.append(QString());
        lines.append(QStringLiteral("[Application]"));
        lines.append(QStringLiteral("Name=") + application.name);
        lines.append(QStringLiteral("Key=") + application.key);
        for (const auto &[property, value] : application.properties)
            lines.append(property + QLatin1Char('=') + value);
        for (const QString &component : application.components)
            lines.append(QStringLiteral("Component=") + component);
        lines.append(QStringLiteral("Shutdowns=") + QString::number(application.shutdowns));
    }
    if (!document.journal.isEmpty()) {
        lines.append(QString());
        lines.append(QStringLiteral("[Journal]"));
        lines.append(document.journal);
    }
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += platform::toWindows1252(line) + "\r\n";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        throw ComPlusError(QStringLiteral("Não foi possível gravar o catálogo COM+ \"") + path
                           + QStringLiteral("\". Mensagem: ") + file.errorString());
    }
}

class ApplicationObject final : public CatalogObject {
public:
    explicit ApplicationObject(StandInApplication &application) : m_application(application) {}
    QString name() const override { return m_application.name; }
    QString key() const override { return m_application.key; }
    QVariant value(const QString &property) const override
    {
        if (property.compare(QStringLiteral("Name"), Qt::CaseInsensitive) == 0)
            return m_application.name;
        for (const auto &[name, value] : m_application.properties) {
            if (name.compare(property, Qt::CaseInsensitive) == 0)
                return value;
        }
        return {};
    }
    void setValue(const QString &property, const QVariant &value) override
    {
        if (property.compare(QStringLiteral("Name"), Qt::CaseInsensitive) == 0) {
            m_application.name = value.toString();
            return;
        }
        for (auto &[name, stored] : m_application.properties) {
            if (name.compare(property, Qt::CaseInsensitive) == 0) {
                stored = propertyText(value);
                return;
            }
        }
        m_application.properties.emplace_back(property, propertyText(value));
    }

private:
    StandInApplication &m_application;
};

class ComponentObject final : public CatalogObject {
public:
    explicit ComponentObject(QString library) : m_library(std::move(library)) {}
    QString name() const override { return QFileInfo(m_library).fileName(); }
    QString key() const override { return m_library; }
    QVariant value(const QString &property) const override
    {
        if (property.compare(QStringLiteral("DLL"), Qt::CaseInsensitive) == 0)
            return m_library;
        return property.compare(QStringLiteral("Name"), Qt::CaseInsensitive) == 0 ? QVariant(name()) : QVariant();
    }
    void setValue(const QString &, const QVariant &) override
    {
        throw ComPlusError(QStringLiteral("As propriedades de um componente não podem ser alteradas."));
    }

private:
    QString m_library;
};

void checkIndex(int index, qsizetype count)
{
    if (index < 0 || index >= count)
        throw ComPlusError(QStringLiteral("Índice %1 fora da coleção.").arg(index));
}

class ComponentsCollection final : public CatalogCollection {
public:
    ComponentsCollection(QString path, QString applicationKey)
        : m_path(std::move(path)), m_applicationKey(std::move(applicationKey))
    {
    }
    void populate() override
    {
        StandInDocument document = loadDocument(m_path);
        const StandInApplication *application = document.findKey(m_applicationKey);
        if (!application)
            throw ComPlusError(QStringLiteral("Aplicação COM+ ") + m_applicationKey + QStringLiteral(" não encontrada."));
        m_components = application->components;
        m_removed.clear();
    }
    int count() const override { return static_cast<int>(m_components.size()); }
    std::unique_ptr<CatalogObject> item(int index) override
    {
        checkIndex(index, m_components.size());
        return std::make_unique<ComponentObject>(m_components.at(index));
    }
    void remove(int index) override
    {
        checkIndex(index, m_components.size());
        m_removed.append(m_components.takeAt(index));
    }
    std::unique_ptr<CatalogObject> add() override
    {
        throw ComPlusError(QStringLiteral("Componentes são adicionados pela instalação da biblioteca."));
    }
    int saveChanges() override
    {
        StandInDocument document = loadDocument(m_path);
        StandInApplication *application = document.findKey(m_applicationKey);
        if (!application)
            throw ComPlusError(QStringLiteral("Aplicação COM+ ") + m_applicationKey + QStringLiteral(" não encontrada."));
        const int changed = static_cast<int>(m_removed.size());
        for (const QString &library : std::as_const(m_removed))
            document.record(QStringLiteral("ComponentRemoved ") + application->name + QLatin1Char(' ') + library);
        application->components = m_components;
        m_removed.clear();
        saveDocument(m_path, document);
        return changed;
    }
    std::unique_ptr<CatalogCollection> getCollection(const QString &name, const QString &) override
    {
        throw ComPlusError(QStringLiteral("Coleção \"") + name + QStringLiteral("\" desconhecida."));
    }

private:
    QString m_path;
    QString m_applicationKey;
    QStringList m_components;
    QStringList m_removed;
};

class ApplicationsCollection final : public CatalogCollection {
public:
    explicit ApplicationsCollection(QString path) : m_path(std::move(path)) {}
    void populate() override
    {
        m_applications = loadDocument(m_path).applications;
        m_populatedKeys.clear();
        for (const StandInApplication &application : m_applications)
            m_populatedKeys.append(application.key);
    }
    int count() const override { return static_cast<int>(m_applications.size()); }
    std::unique_ptr<CatalogObject> item(int index) override
    {
        checkIndex(index, static_cast<qsizetype>(m_applications.size()));
        return std::make_unique<ApplicationObject>(m_applications[static_cast<size_t>(index)]);
    }
    void remove(int index) override
    {
        checkIndex(index, static_cast<qsizetype>(m_applications.size()));
        m_applications.erase(m_applications.begin() + index);
    }
    std::unique_ptr<CatalogObject> add() override
    {
        StandInApplication application;
        application.key = QUuid::createUuid().toString().toUpper();
        m_applications.push_back(std::move(application));
        return std::make_unique<ApplicationObject>(m_applications.back());
    }
    // Writes this collection's applications (names, properties, order) over the file's, keeping
    // what other objects changed meanwhile in the file (components, shutdowns, the journal).
    int saveChanges() override
    {
        StandInDocument document = loadDocument(m_path);
        std::vector<StandInApplication> merged;
        int changed = 0;
        for (const StandInApplication &mine : m_applications) {
            StandInApplication *stored = document.findKey(mine.key);
            if (stored) {
                StandInApplication application = *stored;
                if (application.name != mine.name || application.properties != mine.properties)
                    ++changed;
                application.name = mine.name;
                application.properties = mine.properties;
                merged.push_back(std::move(application));
            } else {
                ++changed;
                if (!m_populatedKeys.contains(mine.key))
                    document.record(QStringLiteral("Created ") + mine.name);
                merged.push_back(mine);
            }
        }
        for (const StandInApplication &stored : document.applications) {
            const bool kept = std::any_of(m_applications.begin(), m_applications.end(),
                                          [&](const StandInApplication &mine) { return mine.key == stored.key; });
            if (kept)
                continue;
            if (m_populatedKeys.contains(stored.key)) {
                ++changed;
                document.record(QStringLiteral("Removed ") + stored.name);
            } else {
                merged.push_back(stored);  // added by someone else after this collection was read
            }
        }
        document.applications = std::move(merged);
        saveDocument(m_path, document);
        m_populatedKeys.clear();
        for (const StandInApplication &application : m_applications)
            m_populatedKeys.append(application.key);
        return changed;
    }
    std::unique_ptr<CatalogCollection> getCollection(const QString &name, const QString &objectKey) override
    {
        if (name.compare(QStringLiteral("Components"), Qt::CaseInsensitive) != 0)
            throw ComPlusError(QStringLiteral("Coleção \"") + name + QStringLiteral("\" desconhecida."));
        return std::make_unique<ComponentsCollection>(m_path, objectKey);
    }

private:
    QString m_path;
    std::vector<StandInApplication> m_applications;
    QStringList m_populatedKeys;
};

class FileComAdminCatalog final : public ComAdminCatalog {
public:
    explicit FileComAdminCatalog(QString path) : m_path(std::move(path)) {}

    std::unique_ptr<CatalogCollection> getCollection(const QString &name) override
    {
        if (name.compare(QStringLiteral("Applications"), Qt::CaseInsensitive) != 0)
            throw ComPlusError(QStringLiteral("Coleção \"") + name + QStringLiteral("\" desconhecida."));
        return std::make_unique<ApplicationsCollection>(m_path);
    }

    // A library whose file cannot be read as a PE image has no classes to register, as the
    // catalog finds when it cannot load it.
    void installComponent(const QString &applicationKey, const QString &library, const QString &,
                          const QString &) override
    {
        StandInDocument document = loadDocument(m_path);
        StandInApplication *application = document.findKey(applicationKey);
        if (!application) {
            for (StandInApplication &candidate : document.applications) {
                if (candidate.name == applicationKey) {
                    application = &candidate;
                    break;
                }
            }
        }
        if (!application)
            throw ComPlusError(QStringLiteral("Aplicação COM+ ") + applicationKey + QStringLiteral(" não encontrada."));
        QFile file(library);
        if (!file.open(QIODevice::ReadOnly) || file.read(2) != "MZ") {
            throw ComPlusError(QStringLiteral("A biblioteca \"") + library
                               + QStringLiteral("\" não pôde ser carregada como biblioteca COM."));
        }
        if (!application->components.contains(library))
            application->components.append(library);
        document.record(QStringLiteral("Installed ") + application->name + QLatin1Char(' ') + library);
        saveDocument(m_path, document);
    }

    void shutdownApplication(const QString &name) override
    {
        StandInDocument document = loadDocument(m_path);
        for (StandInApplication &application : document.applications) {
            if (application.name == name) {
                ++application.shutdowns;
                document.record(QStringLiteral("Shutdown ") + name);
                saveDocument(m_path, document);
                return;
            }
        }
        throw ComPlusError(QStringLiteral("Aplicação COM+ \"") + name + QStringLiteral("\" não encontrada."));
    }

private:
    QString m_path;
};

}  // namespace

std::unique_ptr<ComAdminCatalog> openFileBackedCatalog(const QString &path)
{
    return std::make_unique<FileComAdminCatalog>(path);
}

}  // namespace tivra
