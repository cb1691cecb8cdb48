#include "Rule.h"

#include <algorithm>
#include <sstream>

namespace brevane::auth {

namespace {

std::string valueOf(const Rule& rule, const std::string& key)
{
    const auto found = rule.find(key);
    return found == rule.end() ? std::string() : found->second;
}

std::optional<std::pair<std::string, std::string>> splitEntry(const std::string& line)
{
    const auto equals = line.find('=');
    if (equals == std::string::npos)
        return std::nullopt;
    std::string key = line.substr(0, equals);
    std::string value = line.substr(equals + 1);
    if (!isValidEntry(key, value))
        return std::nullopt;
    return std::make_pair(std::move(key), std::move(value));
}

} // namespace

bool isValidRightName(const std::string& name)
{
    if (name.empty() || name.size() > 200 || name.front() == '.')
        return false;
    return std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || c == '.' || c == '-' || c == '_';
    });
}

bool isValidEntry(const std::string& key, const std::string& value)
{
    const bool keyOk = !key.empty() && key.size() <= 64
        && std::all_of(key.begin(), key.end(), [](char c) { return (c >= 'a' && c <= 'z') || c == '-'; });
    const bool valueOk = value.size() <= 1024 && value.find_first_of(std::string("\n\r\0", 3)) == std::string::npos;
    return keyOk && valueOk;
}

std::string formatRule(const Rule& rule)
{
    std::string text;
    for (const auto& [key, value] : rule)
        text += key + '=' + value + '\n';
    return text;
}

std::optional<Rule> parseRule(const std::string& text)
{
    Rule rule;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        auto entry = splitEntry(line);
        if (!entry || rule.count(entry->first))
            return std::nullopt;
        rule.insert(std::move(*entry));
    }
    if (rule.empty())
        return std::nullopt;
    return rule;
}

std::optional<Rule> parseRuleArguments(const std::vector<std::string>& arguments)
{
    std::string text;
    for (const auto& argument : arguments) {
        if (argument.find('\n') != std::string::npos)
            return std::nullopt;
        text += argument + '\n';
    }
    return parseRule(text);
}

bool ruleGrants(const Rule& rule, const Account& account)
{
    if (valueOf(rule, "class") != "user")
        return false;
    if (account.uid == 0 && valueOf(rule, "allow-root") == "true")
        return true;
    const std::string group = valueOf(rule, "group");
    return !group.empty()
        && std::find(account.groups.begin(), account.groups.end(), group) != account.groups.end();
}

bool ruleIsShared(const Rule& rule)
{
    return valueOf(rule, "shared") == "true";
}

} // namespace brevane::auth
