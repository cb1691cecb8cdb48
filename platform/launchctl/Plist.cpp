#include "Plist.h"

#include <cstdint>
#include <utility>

namespace brevane::launchd {
namespace {

// Nesting deeper than this is refused rather than risking the stack.
constexpr int kMaxDepth = 64;

// A dictionary entry is its own type: std::pair may not hold the Value
// that is still being defined (undefined behaviour; clang refuses it).
struct Entry;

struct Value {
    enum class Kind { String, Boolean, Other, Array, Dict } kind = Kind::Other;
    std::string text;
    bool boolean = false;
    std::vector<Value> items;
    std::vector<Entry> entries;
};

struct Entry {
    std::string key;
    Value value;
};

struct Tag {
    std::string name;
    bool closing = false;
    bool empty = false; // <name/>
};

void appendUtf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

bool decodeReference(const std::string& name, std::string& out)
{
    static const std::pair<const char*, char> named[]
        = { { "lt", '<' }, { "gt", '>' }, { "amp", '&' }, { "quot", '"' }, { "apos", '\'' } };
    for (const auto& [word, c] : named) {
        if (name == word) {
            out += c;
            return true;
        }
    }
    if (name.size() < 2 || name[0] != '#' || name.size() > 10)
        return false;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string digits = name.substr(hex ? 2 : 1);
    if (digits.empty())
        return false;
    std::uint32_t code = 0;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0)
            return false;
        code = code * (hex ? 16 : 10) + std::uint32_t(d);
        if (code > 0x10FFFF)
            return false;
    }
    if (code == 0)
        return false;
    appendUtf8(out, code);
    return true;
}

class Reader {
public:
    explicit Reader(const std::string& text)
        : m_text(text)
    {
    }

    bool parseDocument(Value& root);
    const std::string& error() const { return m_error; }

private:
    bool fail(const std::string& why)
    {
        if (m_error.empty())
            m_error = why;
        return false;
    }
    void skipSpace();
    bool skipMarkup(); // <?...?>, <!-- -->, <!DOCTYPE ...>
    bool readTag(Tag& tag);
    bool readText(std::string& out);
    bool expectClose(const std::string& name);
    bool parseValue(const Tag& open, Value& value, int depth);
    bool parseDict(Value& value, int depth);
    bool parseArray(Value& value, int depth);

    const std::string& m_text;
    std::size_t m_pos = 0;
    std::string m_error;
};

void Reader::skipSpace()
{
    while (m_pos < m_text.size()
           && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\n' || m_text[m_pos] == '\r'))
        ++m_pos;
}

bool Reader::skipMarkup()
{
    for (;;) {
        skipSpace();
        const auto rest = std::string_view(m_text).substr(m_pos);
        std::string_view end;
        if (rest.starts_with("<?"))
            end = "?>";
        else if (rest.starts_with("<!--"))
            end = "-->";
        else if (rest.starts_with("<!"))
            end = ">";
        else
            return true;
        const auto found = m_text.find(end, m_pos + 2);
        if (found == std::string::npos)
            return fail("unterminated markup");
        m_pos = found + end.size();
    }
}

bool Reader::readTag(Tag& tag)
{
    if (!skipMarkup())
        return false;
    if (m_pos >= m_text.size() || m_text[m_pos] != '<')
        return fail("expected a tag");
    const auto close = m_text.find('>', m_pos);
    if (close == std::string::npos)
        return fail("unterminated tag");
    std::string body = m_text.substr(m_pos + 1, close - m_pos - 1);
    m_pos = close + 1;
    tag = {};
    if (!body.empty() && body.front() == '/') {
        tag.closing = true;
        body.erase(0, 1);
    }
    if (!body.empty() && body.back() == '/') {
        tag.empty = true;
        body.pop_back();
    }
    const auto nameEnd = body.find_first_of(" \t\r\n");
    tag.name = body.substr(0, nameEnd);
    if (tag.name.empty() || (tag.closing && tag.empty))
        return fail("malformed tag");
    return true;
}

bool Reader::readText(std::string& out)
{
    const auto end = m_text.find('<', m_pos);
    if (end == std::string::npos)
        return fail("unterminated text");
    for (std::size_t i = m_pos; i < end; ++i) {
        if (m_text[i] != '&') {
            out += m_text[i];
            continue;
        }
        const auto semi = m_text.find(';', i);
        if (semi == std::string::npos || semi > end || !decodeReference(m_text.substr(i + 1, semi - i - 1), out))
            return fail("bad character reference");
        i = semi;
    }
    m_pos = end;
    return true;
}

bool Reader::expectClose(const std::string& name)
{
    Tag tag;
    if (!readTag(tag))
        return false;
    if (!tag.closing || tag.name != name)
        return fail("expected </" + name + ">");
    return true;
}

bool Reader::parseValue(const Tag& open, Value& value, int depth)
{
    if (open.closing)
        return fail("unexpected </" + open.name + ">");
    if (depth > kMaxDepth)
        return fail("nesting too deep");
    if (open.name == "true" || open.name == "false") {
        value.kind = Value::Kind::Boolean;
        value.boolean = open.name == "true";
        return open.empty || expectClose(open.name);
    }
    if (open.name == "dict")
        return open.empty ? (value.kind = Value::Kind::Dict, true) : parseDict(value, depth);
    if (open.name == "array")
        return open.empty ? (value.kind = Value::Kind::Array, true) : parseArray(value, depth);
    static const char* scalars[] = { "string", "integer", "real", "date", "data" };
    for (const char* scalar : scalars) {
        if (open.name != scalar)
            continue;
        value.kind = open.name == "string" ? Value::Kind::String : Value::Kind::Other;
        return open.empty || (readText(value.text) && expectClose(open.name));
    }
    return fail("unknown element <" + open.name + ">");
}

bool Reader::parseDict(Value& value, int depth)
{
    value.kind = Value::Kind::Dict;
    for (;;) {
        Tag tag;
        if (!readTag(tag))
            return false;
        if (tag.closing && tag.name == "dict")
            return true;
        if (tag.name != "key" || tag.closing)
            return fail("expected <key> in <dict>");
        std::string key;
        if (!tag.empty && !(readText(key) && expectClose("key")))
            return false;
        Tag valueTag;
        if (!readTag(valueTag))
            return false;
        Value item;
        if (!parseValue(valueTag, item, depth + 1))
            return false;
        value.entries.push_back({std::move(key), std::move(item)});
    }
}

bool Reader::parseArray(Value& value, int depth)
{
    value.kind = Value::Kind::Array;
    for (;;) {
        Tag tag;
        if (!readTag(tag))
            return false;
        if (tag.closing && tag.name == "array")
            return true;
        Value item;
        if (!parseValue(tag, item, depth + 1))
            return false;
        value.items.push_back(std::move(item));
    }
}

bool Reader::parseDocument(Value& root)
{
    Tag tag;
    if (!readTag(tag))
        return false;
    if (tag.name != "plist" || tag.closing || tag.empty)
        return fail("not a property list");
    Tag valueTag;
    if (!readTag(valueTag) || !parseValue(valueTag, root, 0) || !expectClose("plist"))
        return false;
    if (!skipMarkup())
        return false;
    if (m_pos != m_text.size())
        return fail("text after </plist>");
    return true;
}

// A listener is a dictionary, or an array of them (one per address family).
void collectServiceNames(const Value& listener, std::vector<std::string>& names)
{
    if (listener.kind == Value::Kind::Array) {
        for (const auto& item : listener.items)
            if (item.kind == Value::Kind::Dict)
                collectServiceNames(item, names);
        return;
    }
    for (const auto& [key, value] : listener.entries)
        if (key == "SockServiceName" && value.kind == Value::Kind::String)
            names.push_back(value.text);
}

JobParse jobFromDict(const Value& root)
{
    JobSpec job;
    bool haveLabel = false;
    for (const auto& [key, value] : root.entries) {
        if (key == "Label") {
            if (value.kind != Value::Kind::String)
                return { std::nullopt, "Label is not a string" };
            job.label = value.text;
            haveLabel = true;
        } else if (key == "ProgramArguments") {
            if (value.kind != Value::Kind::Array)
                return { std::nullopt, "ProgramArguments is not an array" };
            job.programArguments.clear();
            for (const auto& item : value.items) {
                if (item.kind != Value::Kind::String)
                    return { std::nullopt, "ProgramArguments holds a value that is not a string" };
                job.programArguments.push_back(item.text);
            }
        } else if (key == "Disabled") {
            if (value.kind != Value::Kind::Boolean)
                return { std::nullopt, "Disabled is not a boolean" };
            job.disabled = value.boolean;
        } else if (key == "Sockets" && value.kind == Value::Kind::Dict) {
            for (const auto& [name, listener] : value.entries)
                collectServiceNames(listener, job.socketServices);
        }
    }
    if (!haveLabel || !isUsableLabel(job.label))
        return { std::nullopt, haveLabel ? "unusable Label" : "no Label" };
    if (job.programArguments.empty() || job.programArguments.front().empty())
        return { std::nullopt, "no ProgramArguments" };
    return { std::move(job), {} };
}

} // namespace

bool isUsableLabel(const std::string& label)
{
    if (label.empty() || label.front() == '.' || label.size() > 200)
        return false;
    for (unsigned char c : label) {
        if (c == '/' || c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

JobParse parseJobPlist(const std::string& text)
{
    Value root;
    Reader reader(text);
    if (!reader.parseDocument(root))
        return { std::nullopt, reader.error() };
    if (root.kind != Value::Kind::Dict)
        return { std::nullopt, "top level is not a dictionary" };
    return jobFromDict(root);
}

} // namespace brevane::launchd
