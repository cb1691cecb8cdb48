#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// DANE for SMTP (RFC 7672): whether a TLSA record names the certificate a
// mail server serves, and the record that would.
namespace brevane::dns {

enum class TlsaMatch {
    Matches,  ///< names the certificate served, or the authority that issued it
    Differs,  ///< usable, but names another certificate
    Unusable, ///< a usage, selector or matching type SMTP senders ignore, or damaged
};

/// A TLSA record ("USAGE SELECTOR MATCHING HEX") against the chain served,
/// server certificate first, each in DER. Only DANE-TA(2) and DANE-EE(3)
/// count for SMTP (RFC 7672 §3.1.3).
TlsaMatch matchTlsa(const QString& record, const QList<QByteArray>& chain);

/// "3 1 1 HEX": the SHA-256 of the certificate's public key, the record
/// RFC 7672 §3.1.1 recommends; empty when the certificate cannot be read.
QString tlsaRecordFor(const QByteArray& certificate);

/// The certificates in PEM text, in the order found, each in DER.
QList<QByteArray> pemCertificates(const QByteArray& pem);

} // namespace brevane::dns
