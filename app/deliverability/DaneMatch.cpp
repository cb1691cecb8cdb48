#include "deliverability/DaneMatch.h"

#include <QCryptographicHash>
#include <QStringList>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>

namespace brevane::dns {

namespace {

struct X509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using Certificate = std::unique_ptr<X509, X509Free>;

Certificate parsed(const QByteArray& der)
{
    const auto* at = reinterpret_cast<const unsigned char*>(der.constData());
    return Certificate(d2i_X509(nullptr, &at, long(der.size())));
}

// What the selector picks: 0 the whole certificate, 1 its public key.
QByteArray selected(const QByteArray& der, int selector)
{
    if (selector == 0)
        return der;
    const Certificate certificate = parsed(der);
    if (!certificate)
        return {};
    unsigned char* out = nullptr;
    const int length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate.get()), &out);
    if (length <= 0)
        return {};
    QByteArray key(reinterpret_cast<const char*>(out), length);
    OPENSSL_free(out);
    return key;
}

QByteArray digested(const QByteArray& data, int matching)
{
    switch (matching) {
    case 0:
        return data;
    case 1:
        return QCryptographicHash::hash(data, QCryptographicHash::Sha256);
    case 2:
        return QCryptographicHash::hash(data, QCryptographicHash::Sha512);
    }
    return {};
}

} // namespace

TlsaMatch matchTlsa(const QString& record, const QList<QByteArray>& chain)
{
    const QStringList fields = record.split(u' ', Qt::SkipEmptyParts);
    bool ok[3] = {};
    const int usage = fields.value(0).toInt(&ok[0]);
    const int selector = fields.value(1).toInt(&ok[1]);
    const int matching = fields.value(2).toInt(&ok[2]);
    const QByteArray data = QByteArray::fromHex(fields.value(3).toLatin1());
    if (fields.size() != 4 || !ok[0] || !ok[1] || !ok[2] || data.isEmpty() || (usage != 2 && usage != 3)
        || selector < 0 || selector > 1 || matching < 0 || matching > 2)
        return TlsaMatch::Unusable;
    // DANE-EE names the server's own certificate; DANE-TA one that issued it.
    const qsizetype first = usage == 3 ? 0 : 1;
    const qsizetype end = usage == 3 ? qMin<qsizetype>(1, chain.size()) : chain.size();
    for (qsizetype i = first; i < end; ++i) {
        const QByteArray picked = selected(chain.at(i), selector);
        if (!picked.isEmpty() && digested(picked, matching) == data)
            return TlsaMatch::Matches;
    }
    return TlsaMatch::Differs;
}

QString tlsaRecordFor(const QByteArray& certificate)
{
    const QByteArray key = selected(certificate, 1);
    return key.isEmpty() ? QString() : QStringLiteral("3 1 1 ") + QString::fromLatin1(digested(key, 1).toHex());
}

QList<QByteArray> pemCertificates(const QByteArray& pem)
{
    QList<QByteArray> certificates;
    const std::unique_ptr<BIO, decltype(&BIO_free)> in(BIO_new_mem_buf(pem.constData(), int(pem.size())), BIO_free);
    if (!in)
        return certificates;
    while (X509* certificate = PEM_read_bio_X509(in.get(), nullptr, nullptr, nullptr)) {
        unsigned char* out = nullptr;
        const int length = i2d_X509(certificate, &out);
        if (length > 0)
            certificates.append(QByteArray(reinterpret_cast<const char*>(out), length));
        OPENSSL_free(out);
        X509_free(certificate);
    }
    // The end of the text leaves a "no start line" on OpenSSL's error queue.
    ERR_clear_error();
    return certificates;
}

} // namespace brevane::dns
