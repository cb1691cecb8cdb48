#include "deliverability/UnboundResolver.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <poll.h>
#include <unbound.h>

namespace brevane::dns {

namespace {

constexpr int dnskeyType = 48;
constexpr int servfail = 2;

struct Pending {
    bool done = false;
    int error = 0;
    ub_result* result = nullptr;
};

void deliver(void* pending, int error, ub_result* result)
{
    auto* into = static_cast<Pending*>(pending);
    into->done = true;
    into->error = error;
    into->result = result;
}

RecordType recordTypeOf(int number)
{
    for (const RecordType type : {RecordType::MX, RecordType::A, RecordType::AAAA, RecordType::TXT, RecordType::PTR,
                                  RecordType::TLSA})
        if (typeNumber(type) == number)
            return type;
    return RecordType::A;
}

Answer answerOf(const ub_result& result, const QString& asked, bool validated)
{
    Answer answer;
    if (validated && result.secure)
        answer.security = Security::Secure;
    if (validated && result.bogus) {
        answer.security = Security::Bogus;
        answer.whyBogus = QString::fromUtf8(result.why_bogus ? result.why_bogus : "");
    }
    if (result.rcode == servfail && answer.security != Security::Bogus) {
        answer.outcome = Outcome::Unreachable;
        return answer;
    }
    const QString canonical = QString::fromLatin1(result.canonname ? result.canonname : "");
    if (!canonical.isEmpty() && !sameHost(canonical, asked))
        answer.canonicalName = canonical.endsWith(u'.') ? canonical.chopped(1) : canonical;
    for (int i = 0; result.havedata && result.data && result.data[i]; ++i) {
        const QString value = recordValue(recordTypeOf(result.qtype), QByteArray(result.data[i], result.len[i]));
        if (!value.isEmpty())
            answer.values.append(value);
    }
    answer.outcome = answer.values.isEmpty() ? Outcome::NoRecord : Outcome::Found;
    return answer;
}

} // namespace

UnboundResolver::UnboundResolver(ResolverOptions options)
    : m_options(std::move(options))
{
    const bool anchored = !m_options.trustAnchorFile.isEmpty() && QFileInfo(m_options.trustAnchorFile).isReadable();
    if (!anchored)
        m_validation = 0;
    makeContext(anchored);
}

UnboundResolver::~UnboundResolver()
{
    if (m_context)
        ub_ctx_delete(m_context);
}

void UnboundResolver::makeContext(bool anchored)
{
    if (m_context)
        ub_ctx_delete(m_context);
    m_context = ub_ctx_create();
    if (!m_context)
        return;
    ub_ctx_async(m_context, 1);
    ub_ctx_resolvconf(m_context, QFile::encodeName(m_options.resolvConf).constData());
    // The servers of resolv.conf are asked about every name: unbound's own
    // answers for special-use and private names would hide what they hold
    // (a LAN's reverse zone, a test zone).
    ub_ctx_set_option(m_context, "unblock-lan-zones:", "yes");
    ub_ctx_set_option(m_context, "insecure-lan-zones:", "yes");
    for (const char* zone : {"test. transparent", "invalid. transparent", "127.in-addr.arpa. transparent"})
        ub_ctx_set_option(m_context, "local-zone:", zone);
    if (anchored)
        ub_ctx_add_ta_file(m_context, QFile::encodeName(m_options.trustAnchorFile).constData());
}

bool UnboundResolver::abandoned() const
{
    return m_options.abandoned && m_options.abandoned->load();
}

bool UnboundResolver::validates()
{
    if (m_validation < 0) {
        m_validation = 1;
        if (!m_options.probeName.isEmpty())
            m_validation = ask(m_options.probeName, dnskeyType).security == Security::Secure;
        // Without signatures every answer would fail validation.
        if (m_validation == 0)
            makeContext(false);
    }
    return m_validation == 1;
}

Answer UnboundResolver::resolve(const QString& name, RecordType type)
{
    validates();
    return ask(name, typeNumber(type));
}

Lookup UnboundResolver::lookup()
{
    return [this](const QString& name, RecordType type) { return resolve(name, type); };
}

Answer UnboundResolver::ask(const QString& name, int type)
{
    const Answer unreachable{Outcome::Unreachable, {}};
    if (!m_context || abandoned())
        return unreachable;
    Pending pending;
    int id = 0;
    if (ub_resolve_async(m_context, name.toLatin1().constData(), type, 1, &pending, deliver, &id) != 0)
        return unreachable;
    // libunbound retries a silent server for minutes: the wait is ours to end,
    // and short slices let an abandoned check stop at once.
    QElapsedTimer waited;
    waited.start();
    while (!pending.done) {
        if (abandoned() || waited.elapsed() >= m_options.timeoutMilliseconds) {
            ub_cancel(m_context, id);
            return unreachable;
        }
        pollfd ready{ub_fd(m_context), POLLIN, 0};
        if (::poll(&ready, 1, 20) > 0)
            ub_process(m_context);
    }
    if (pending.error != 0 || !pending.result)
        return unreachable;
    const Answer answer = answerOf(*pending.result, name, m_validation != 0);
    ub_resolve_free(pending.result);
    return answer;
}

} // namespace brevane::dns
