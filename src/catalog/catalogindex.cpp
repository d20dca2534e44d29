#include "catalog/catalogindex.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <limits>
#include <optional>

namespace tivra {

namespace {

bool named(const xmlNode *node, const char *name)
{
    return node && node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, reinterpret_cast<const xmlChar *>(name)) == 0;
}

std::optional<QString> attribute(xmlNode *node, const char *name)
{
    xmlChar *value = xmlGetProp(node, reinterpret_cast<const xmlChar *>(name));
    if (!value)
        return std::nullopt;
    QString text = QString::fromUtf8(reinterpret_cast<const char *>(value));
    xmlFree(value);
    return text;
}

struct Failure {
    QString message;
};

// An integer attribute: optional sign and decimal digits, nothing else.
qint64 integerAttribute(xmlNode *node, const char *element, const char *name)
{
    const auto text = attribute(node, name);
    const QString where = QStringLiteral(" (linha ") + QString::number(xmlGetLineNo(node)) + QStringLiteral(")");
    if (!text)
        throw Failure{QStringLiteral("O elemento \"") + QLatin1String(element) + QStringLiteral("\" não tem o atributo \"") +
                      QLatin1String(name) + QStringLiteral("\"") + where + QLatin1Char('.')};
    bool ok = !text->isEmpty() && !text->at(0).isSpace() && !text->back().isSpace();
    const qint64 value = ok ? text->toLongLong(&ok) : 0;
    if (!ok || value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        throw Failure{QStringLiteral("\"") + *text + QStringLiteral("\" não é um valor inteiro válido para o atributo \"") +
                      QLatin1String(name) + QStringLiteral("\" de \"") + QLatin1String(element) + QStringLiteral("\"") + where +
                      QLatin1Char('.')};
    return value;
}

}  // namespace

bool parseCatalogIndex(const char *data, std::size_t size, std::vector<CatalogIndexRow> &rows, QString *error)
{
    const auto fail = [&](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    if (size > std::size_t(std::numeric_limits<int>::max()))
        return fail(QStringLiteral("index.xml grande demais."));
    xmlResetLastError();
    xmlDoc *doc = xmlReadMemory(data, int(size), "index.xml", nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!doc) {
        const xmlError *e = xmlGetLastError();
        return fail(QStringLiteral("XML inválido na linha ") + QString::number(e ? e->line : 0) + QStringLiteral(", coluna ") +
                    QString::number(e ? e->int2 : 0) + QStringLiteral(": ") +
                    (e && e->message ? QString::fromUtf8(e->message).trimmed() : QStringLiteral("documento mal formado")));
    }
    bool ok = true;
    try {
        xmlNode *root = xmlDocGetRootElement(doc);
        if (!named(root, "Vendrix"))
            throw Failure{QStringLiteral("O elemento raiz do índice não é \"Vendrix\".")};
        xmlNode *catalogo = nullptr;
        for (xmlNode *n = root->children; n && !catalogo; n = n->next) {
            if (named(n, "Catalogo"))
                catalogo = n;
        }
        if (!catalogo)
            throw Failure{QStringLiteral("O índice não tem o elemento \"Catalogo\".")};
        for (xmlNode *tabela = catalogo->children; tabela; tabela = tabela->next) {
            if (!named(tabela, "Tabela"))
                continue;
            CatalogIndexRow row;
            row.idTabela = integerAttribute(tabela, "Tabela", "Id");
            row.nomeTabela = attribute(tabela, "Nome").value_or(QString());
            bool any = false;
            for (xmlNode *estrut = tabela->children; estrut; estrut = estrut->next) {
                if (!named(estrut, "TabEstrut"))
                    continue;
                CatalogIndexRow item = row;
                item.hasTabEstrut = true;
                item.codTabEst = integerAttribute(estrut, "TabEstrut", "Codigo");
                item.descrTabEstrut = attribute(estrut, "Descricao").value_or(QString());
                rows.push_back(item);
                any = true;
            }
            if (!any)
                rows.push_back(row);
        }
    } catch (const Failure &f) {
        ok = fail(f.message);
    }
    xmlFreeDoc(doc);
    return ok;
}

}  // namespace tivra
