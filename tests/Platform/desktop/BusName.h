#pragma once

#include <QObject>
#include <QString>

namespace parloquin_test {

// A well-known name that a test's object owns on a connection of its own to a session bus, until
// this ends.
class BusName {
public:
    // The connection's name begins with the prefix, made unique.
    explicit BusName(const QString& connectionPrefix);
    ~BusName();
    BusName(const BusName&) = delete;
    BusName& operator=(const BusName&) = delete;

    // Exports the object's slots at the path and owns the service name on the bus at the address;
    // false when the bus cannot be reached or the name is taken.
    bool own(const QString& busAddress, const QString& service, const QString& path, QObject* object);

private:
    QString connectionName_;
    QString service_;
    QString path_;
};

}  // namespace parloquin_test
