#include "component_stream.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QCheckBox>
#include <QDataStream>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaProperty>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <map>
#include <memory>
#include <string>

namespace kt {
namespace {

constexpr char kSignature[4] = {'K', 'T', 'C', '1'};
constexpr QDataStream::Version kVersion = QDataStream::Qt_6_0;
constexpr quint8 kItem = 1;
constexpr quint8 kEndOfList = 0;

std::map<QByteArray, TComponentFactory>& Factories() {
    static std::map<QByteArray, TComponentFactory> factories = [] {
        std::map<QByteArray, TComponentFactory> builtIn;
        auto add = [&builtIn]<typename T>(T*) {
            builtIn[T::staticMetaObject.className()] = ComponentFactory<T>();
        };
        add(static_cast<QWidget*>(nullptr));
        add(static_cast<QFrame*>(nullptr));
        add(static_cast<QLabel*>(nullptr));
        add(static_cast<QPushButton*>(nullptr));
        add(static_cast<QToolButton*>(nullptr));
        add(static_cast<QCheckBox*>(nullptr));
        add(static_cast<QRadioButton*>(nullptr));
        add(static_cast<QLineEdit*>(nullptr));
        add(static_cast<QGroupBox*>(nullptr));
        add(static_cast<QProgressBar*>(nullptr));
        add(static_cast<QTimer*>(nullptr));
        return builtIn;
    }();
    return factories;
}

// Properties that are inherited from the parent unless set on the widget.
bool SetOnWidget(const QObject* object, const char* name) {
    const QWidget* widget = qobject_cast<const QWidget*>(object);
    if (!widget) return true;
    const std::string property(name);
    if (property == "font") return widget->testAttribute(Qt::WA_SetFont);
    if (property == "palette") return widget->testAttribute(Qt::WA_SetPalette);
    if (property == "locale") return widget->testAttribute(Qt::WA_SetLocale);
    if (property == "cursor") return widget->testAttribute(Qt::WA_SetCursor);
    return true;
}

bool Streamable(const QMetaProperty& property) {
    return property.isReadable() && property.isWritable() && property.isStored() &&
           property.isDesignable() && std::string(property.name()) != "objectName";
}

// The value as it travels: enumerations as plain integers.
QVariant StoredValue(const QMetaProperty& property, const QObject* object) {
    QVariant value = property.read(object);
    if (property.isEnumType()) return QVariant(value.toInt());
    return value;
}

QByteArray Serialized(const QVariant& value) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(kVersion);
    out << value;
    return bytes;
}

void WriteComponentRecord(QDataStream& out, const QObject* object) {
    const QMetaObject* meta = object->metaObject();
    out << QByteArray(meta->className()) << object->objectName();
    const QWidget* widget = qobject_cast<const QWidget*>(object);
    out << static_cast<bool>(widget && widget->isHidden());

    // A fresh object of the class tells which values are its own defaults;
    // writing only the others keeps, say, a label's empty picture from
    // wiping its text when read back.
    std::unique_ptr<QObject> fresh;
    auto factory = Factories().find(meta->className());
    if (factory != Factories().end()) fresh.reset(factory->second(nullptr));

    std::vector<std::pair<QByteArray, QVariant>> properties;
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (!Streamable(property) || !SetOnWidget(object, property.name())) continue;
        QVariant value = StoredValue(property, object);
        if (!value.isValid() || !value.metaType().hasRegisteredDataStreamOperators()) continue;
        if (fresh && Serialized(value) == Serialized(StoredValue(property, fresh.get()))) continue;
        properties.emplace_back(property.name(), value);
    }
    out << static_cast<quint32>(properties.size());
    for (const auto& [name, value] : properties) out << name << value;

    for (const QObject* child : object->children()) {
        const QString name = child->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
        out << kItem;
        WriteComponentRecord(out, child);
    }
    out << kEndOfList;
}

struct Record {
    QByteArray className;
    QString name;
    bool hidden = false;
    std::vector<std::pair<QByteArray, QVariant>> properties;
    std::vector<Record> children;
};

void Check(const QDataStream& in) {
    if (in.status() != QDataStream::Ok) throw EReadError("damaged component data");
}

// Reads one list of records (each preceded by kItem, ended by kEndOfList).
std::vector<Record> ReadList(QDataStream& in, int depth);

Record ReadRecord(QDataStream& in, int depth) {
    Record record;
    quint32 count = 0;
    in >> record.className >> record.name >> record.hidden >> count;
    Check(in);
    if (Factories().count(record.className) == 0)
        throw EReadError("class not found: " + record.className.toStdString());
    for (quint32 i = 0; i < count; ++i) {
        QByteArray name;
        QVariant value;
        in >> name >> value;
        Check(in);
        record.properties.emplace_back(name, value);
    }
    record.children = ReadList(in, depth + 1);
    return record;
}

std::vector<Record> ReadList(QDataStream& in, int depth) {
    if (depth > 64) throw EReadError("component data nested too deeply");
    std::vector<Record> records;
    for (;;) {
        quint8 marker = kEndOfList;
        in >> marker;
        Check(in);
        if (marker == kEndOfList) return records;
        if (marker != kItem) throw EReadError("damaged component data");
        records.push_back(ReadRecord(in, depth));
    }
}

// Creates the object of `record` under `parent`; raises with nothing left
// behind (children die with their object).
QObject* Create(const Record& record, QObject* parent) {
    QObject* object = Factories().at(record.className)(parent);
    if (!object) throw EReadError("cannot create " + record.className.toStdString() + " here");
    std::unique_ptr<QObject> guard(object);
    object->setObjectName(record.name);
    const QMetaObject* meta = object->metaObject();
    for (const auto& [name, value] : record.properties) {
        const int index = meta->indexOfProperty(name.constData());
        if (index < 0 || !meta->property(index).write(object, value))
            throw EReadError("property " + name.toStdString() + " cannot be set");
    }
    for (const Record& child : record.children) Create(child, object);
    if (QWidget* widget = qobject_cast<QWidget*>(object)) widget->setVisible(!record.hidden);
    return guard.release();
}

}  // namespace

void RegisterComponentClass(const char* className, TComponentFactory factory) {
    Factories()[className] = std::move(factory);
}

QByteArray SaveComponentState(const QObject* component) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(kVersion);
    out.writeRawData(kSignature, sizeof kSignature);
    out << kItem;
    WriteComponentRecord(out, component);
    out << kEndOfList;
    return bytes;
}

std::vector<QObject*> LoadComponentState(const QByteArray& data, QObject* parent) {
    QDataStream in(data);
    in.setVersion(kVersion);
    char signature[sizeof kSignature];
    if (in.readRawData(signature, sizeof signature) != sizeof signature ||
        std::string(signature, sizeof signature) != std::string(kSignature, sizeof kSignature))
        throw EReadError("not component data");
    // Everything is read and checked before the first object is created.
    const std::vector<Record> records = ReadList(in, 0);

    std::vector<std::unique_ptr<QObject>> created;
    for (const Record& record : records) created.emplace_back(Create(record, parent));
    std::vector<QObject*> result;
    for (auto& object : created) result.push_back(object.release());
    return result;
}

}  // namespace kt
