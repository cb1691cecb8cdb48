#include "maintenance/QueueJson.h"

#include <cmath>
#include <cstring>

namespace brevane {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendUtf8(QByteArray* out, char32_t code)
{
    if (code < 0x80) {
        out->append(char(code));
    } else if (code < 0x800) {
        out->append(char(0xC0 | (code >> 6)));
        out->append(char(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out->append(char(0xE0 | (code >> 12)));
        out->append(char(0x80 | ((code >> 6) & 0x3F)));
        out->append(char(0x80 | (code & 0x3F)));
    } else {
        out->append(char(0xF0 | (code >> 18)));
        out->append(char(0x80 | ((code >> 12) & 0x3F)));
        out->append(char(0x80 | ((code >> 6) & 0x3F)));
        out->append(char(0x80 | (code & 0x3F)));
    }
}

// A position in the line with the few JSON pieces postqueue prints.
class Cursor
{
public:
    Cursor(QByteArrayView text, QList<QByteArray>* decoded)
        : m_text(text)
        , m_decoded(decoded)
    {
    }

    bool consume(char c)
    {
        skipSpace();
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }

    bool atEnd()
    {
        skipSpace();
        return m_at == m_text.size();
    }

    bool string(QByteArrayView* out)
    {
        if (!consume('"'))
            return false;
        const qsizetype start = m_at;
        while (m_at < m_text.size()) {
            const char c = m_text[m_at];
            if (c == '"') {
                *out = m_text.sliced(start, m_at++ - start);
                return true;
            }
            if (c == '\\')
                return escapedString(start, out);
            // Control characters are not JSON; bytes beyond ASCII need their
            // UTF-8 checked, which the general reader does.
            if (uchar(c) < 0x20 || uchar(c) >= 0x80)
                return false;
            ++m_at;
        }
        return false;
    }

    // JSON's grammar exactly: -? (0 | [1-9][0-9]*) (.[0-9]+)? ([eE][+-]?[0-9]+)?
    bool number(qint64* out)
    {
        skipSpace();
        const qsizetype start = m_at;
        accept('-');
        if (!accept('0') && digits() == 0)
            return false;
        if (accept('.') && digits() == 0)
            return false;
        if (accept('e') || accept('E')) {
            if (!accept('+'))
                accept('-');
            if (digits() == 0)
                return false;
        }
        bool ok = false;
        const double value = m_text.sliced(start, m_at - start).toDouble(&ok);
        // Beyond any real time or size: none, rather than an undefined conversion.
        *out = ok && std::abs(value) < 9e18 ? qint64(value) : 0;
        return ok;
    }

    bool literal(bool* out)
    {
        skipSpace();
        for (const auto& [word, value] : {std::pair {"true", true}, {"false", false}, {"null", false}}) {
            if (m_text.sliced(m_at).startsWith(word)) {
                m_at += qsizetype(qstrlen(word));
                *out = value;
                return true;
            }
        }
        return false;
    }

    // A value of a key the view does not read; nested ones are for the slow way.
    bool skipScalar()
    {
        skipSpace();
        if (m_at >= m_text.size())
            return false;
        QByteArrayView text;
        qint64 number = 0;
        bool flag = false;
        const char c = m_text[m_at];
        if (c == '"')
            return string(&text);
        if (c == '-' || (c >= '0' && c <= '9'))
            return this->number(&number);
        return literal(&flag);
    }

private:
    bool accept(char c)
    {
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }

    int digits()
    {
        int count = 0;
        for (; m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9'; ++m_at)
            ++count;
        return count;
    }

    void skipSpace()
    {
        while (m_at < m_text.size() && QByteArrayView(" \t\r\n").contains(m_text[m_at]))
            ++m_at;
    }

    bool hex4(char32_t* out)
    {
        if (m_at + 4 > m_text.size())
            return false;
        *out = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexValue(m_text[m_at++]);
            if (digit < 0)
                return false;
            *out = *out * 16 + char32_t(digit);
        }
        return true;
    }

    bool escape(QByteArray* out)
    {
        if (m_at >= m_text.size())
            return false;
        const char c = m_text[m_at++];
        static const char plain[] = "\"\\/bfnrt";
        static const char meant[] = "\"\\/\b\f\n\r\t";
        if (const char* found = c ? std::strchr(plain, c) : nullptr) {
            out->append(meant[found - plain]);
            return true;
        }
        char32_t code = 0;
        if (c != 'u' || !hex4(&code))
            return false;
        if (code >= 0xDC00 && code <= 0xDFFF)
            return false;
        if (code >= 0xD800 && code <= 0xDBFF) {
            char32_t low = 0;
            if (!m_text.sliced(m_at).startsWith("\\u"))
                return false;
            m_at += 2;
            if (!hex4(&low) || low < 0xDC00 || low > 0xDFFF)
                return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        appendUtf8(out, code);
        return true;
    }

    bool escapedString(qsizetype start, QByteArrayView* out)
    {
        QByteArray text = m_text.sliced(start, m_at - start).toByteArray();
        while (m_at < m_text.size()) {
            const char c = m_text[m_at++];
            if (c == '"') {
                m_decoded->append(text);
                *out = m_decoded->constLast();
                return true;
            }
            if (uchar(c) < 0x20 || uchar(c) >= 0x80)
                return false;
            if (c != '\\')
                text.append(c);
            else if (!escape(&text))
                return false;
        }
        return false;
    }

    QByteArrayView m_text;
    QList<QByteArray>* m_decoded;
    qsizetype m_at = 0;
};

// Members of an object, each handed to `member` with the cursor at its value.
template<typename Member>
bool readObject(Cursor& in, Member member)
{
    if (!in.consume('{'))
        return false;
    if (in.consume('}'))
        return true;
    do {
        QByteArrayView key;
        if (!in.string(&key) || !in.consume(':') || !member(key))
            return false;
    } while (in.consume(','));
    return in.consume('}');
}

bool readRecipients(Cursor& in, QList<ScannedRecipient>* recipients)
{
    if (!in.consume('['))
        return false;
    if (in.consume(']'))
        return true;
    do {
        ScannedRecipient recipient;
        const bool read = readObject(in, [&](QByteArrayView key) {
            if (key == "address")
                return in.string(&recipient.address);
            if (key == "delay_reason")
                return in.string(&recipient.reason);
            return in.skipScalar();
        });
        if (!read)
            return false;
        recipients->append(recipient);
    } while (in.consume(','));
    return in.consume(']');
}

} // namespace

bool scanQueueJson(QByteArrayView line, ScannedMessage* message)
{
    message->recipients.clear();
    message->decoded.clear();
    message->queueName = message->queueID = message->sender = {};
    message->arrival = message->size = 0;
    message->forcedExpire = false;
    Cursor in(line, &message->decoded);
    const bool read = readObject(in, [&](QByteArrayView key) {
        if (key == "queue_name")
            return in.string(&message->queueName);
        if (key == "queue_id")
            return in.string(&message->queueID);
        if (key == "sender")
            return in.string(&message->sender);
        if (key == "arrival_time")
            return in.number(&message->arrival);
        if (key == "message_size")
            return in.number(&message->size);
        if (key == "forced_expire")
            return in.literal(&message->forcedExpire);
        if (key == "recipients") {
            message->recipients.clear(); // a repeated key counts once, as for any JSON reader
            return readRecipients(in, &message->recipients);
        }
        return in.skipScalar();
    });
    return read && in.atEnd();
}

} // namespace brevane
