#include "deliverability/SpfEvaluation.h"

#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <netdb.h>
#include <netinet/in.h>

extern "C" {
#include <spf2/spf.h>
}

#include <cstring>
#include <memory>
#include <mutex>

namespace brevane::dns {

namespace {

bool recordTypeFor(ns_type type, RecordType* into)
{
    switch (type) {
    case ns_t_a:
        *into = RecordType::A;
        return true;
    case ns_t_aaaa:
        *into = RecordType::AAAA;
        return true;
    case ns_t_mx:
        *into = RecordType::MX;
        return true;
    case ns_t_txt:
        *into = RecordType::TXT;
        return true;
    case ns_t_ptr:
        *into = RecordType::PTR;
        return true;
    default:
        return false;
    }
}

SPF_dns_stat_t statusOf(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Found:
        return NETDB_SUCCESS;
    case Outcome::NoRecord:
        return HOST_NOT_FOUND;
    case Outcome::Unreachable:
        return TRY_AGAIN;
    }
    return TRY_AGAIN;
}

// One answer's value in the form libspf2 keeps it: addresses as bytes,
// names and texts as C strings.
bool store(SPF_dns_rr_t* records, int index, RecordType type, const QString& value)
{
    if (type == RecordType::A || type == RecordType::AAAA) {
        const bool four = type == RecordType::A;
        if (SPF_dns_rr_buf_realloc(records, index, four ? sizeof(in_addr) : sizeof(in6_addr)) != SPF_E_SUCCESS)
            return false;
        return inet_pton(four ? AF_INET : AF_INET6, value.toLatin1().constData(),
                         four ? static_cast<void*>(&records->rr[index]->a) : &records->rr[index]->aaaa)
            == 1;
    }
    // libspf2 keeps an MX's host alone.
    const QByteArray text = (type == RecordType::MX ? value.section(u' ', 1) : value).toUtf8();
    if (text.contains('\0') || SPF_dns_rr_buf_realloc(records, index, size_t(text.size()) + 1) != SPF_E_SUCCESS)
        return false;
    std::memcpy(records->rr[index]->txt, text.constData(), size_t(text.size()) + 1);
    return true;
}

SPF_dns_rr_t* lookupThrough(SPF_dns_server_t* server, const char* domain, ns_type type, int)
{
    const Lookup& lookup = *static_cast<const Lookup*>(server->hook);
    RecordType asked = RecordType::A;
    if (!recordTypeFor(type, &asked))
        return SPF_dns_rr_new_init(server, domain, type, 0, NO_DATA);
    const Answer answer = lookup(QString::fromLatin1(domain), asked);
    SPF_dns_rr_t* records = SPF_dns_rr_new_init(server, domain, type, 0, statusOf(answer.outcome));
    if (!records || answer.outcome != Outcome::Found)
        return records;
    int stored = 0;
    for (const QString& value : answer.values)
        stored += store(records, stored, asked, value);
    records->num_rr = stored;
    if (stored == 0)
        records->herrno = NO_DATA;
    return records;
}

SpfResult resultOf(SPF_result_t result)
{
    switch (result) {
    case SPF_RESULT_PASS:
        return SpfResult::Pass;
    case SPF_RESULT_FAIL:
        return SpfResult::Fail;
    case SPF_RESULT_SOFTFAIL:
        return SpfResult::SoftFail;
    case SPF_RESULT_NEUTRAL:
        return SpfResult::Neutral;
    case SPF_RESULT_NONE:
        return SpfResult::None;
    case SPF_RESULT_TEMPERROR:
        return SpfResult::TempError;
    default:
        return SpfResult::PermError;
    }
}

void quiet(const char*, int, const char*) {}

struct Freer {
    void operator()(SPF_server_t* p) const { SPF_server_free(p); }
    void operator()(SPF_request_t* p) const { SPF_request_free(p); }
    void operator()(SPF_response_t* p) const { SPF_response_free(p); }
};

} // namespace

SpfVerdict evaluateSpf(const QString& domain, const QString& address, const Lookup& lookup)
{
    // Its warnings would go to the window's terminal.
    static std::once_flag silenced;
    std::call_once(silenced, [] {
        SPF_warning_handler = quiet;
        SPF_info_handler = quiet;
        SPF_debug_handler = quiet;
    });
    SPF_dns_server_t layer{};
    layer.lookup = lookupThrough;
    layer.name = "brevane";
    layer.hook = const_cast<Lookup*>(&lookup);
    const std::unique_ptr<SPF_server_t, Freer> server(SPF_server_new_dns(&layer, 0));
    const std::unique_ptr<SPF_request_t, Freer> request(server ? SPF_request_new(server.get()) : nullptr);
    if (!request)
        return {SpfResult::TempError, QStringLiteral("SPF could not be evaluated here")};
    const QByteArray ip = address.trimmed().toLatin1();
    const bool v6 = ip.contains(':');
    if ((v6 ? SPF_request_set_ipv6_str(request.get(), ip.constData())
            : SPF_request_set_ipv4_str(request.get(), ip.constData()))
        != SPF_E_SUCCESS)
        return {SpfResult::PermError, QStringLiteral("%1 is no IP address").arg(address)};
    SPF_request_set_env_from(request.get(), ("postmaster@" + domain).toUtf8().constData());
    SPF_response_t* raw = nullptr;
    SPF_request_query_mailfrom(request.get(), &raw);
    const std::unique_ptr<SPF_response_t, Freer> response(raw);
    if (!response)
        return {SpfResult::TempError, QStringLiteral("SPF could not be evaluated here")};
    SpfVerdict verdict{resultOf(SPF_response_result(response.get())), {}};
    QStringList problems;
    for (int i = 0; i < SPF_response_messages(response.get()); ++i)
        if (SPF_error_t* message = SPF_response_message(response.get(), i); message && SPF_error_errorp(message))
            problems.append(QString::fromUtf8(SPF_error_message(message)));
    problems.removeDuplicates();
    verdict.problem = problems.join(QStringLiteral("; "));
    return verdict;
}

QString resultName(SpfResult result)
{
    static const char* const names[] = {"pass", "fail", "softfail", "neutral", "none", "temperror", "permerror"};
    return QString::fromLatin1(names[int(result)]);
}

} // namespace brevane::dns
