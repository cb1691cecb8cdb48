#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <memory>

namespace brevane::dns {

/// The certificates the SMTP server at `address` serves after STARTTLS on
/// port 25, server certificate first, each in DER; empty when none could be
/// had within `timeoutMilliseconds`, or once `abandoned` is set.
QList<QByteArray> servedCertificates(const QString& address, int timeoutMilliseconds,
                                     const std::shared_ptr<const std::atomic_bool>& abandoned);

} // namespace brevane::dns
