#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace brevane::auth {

/// A right's rule: string keys to string values ("class", "group",
/// "allow-root", "shared", "comment"), kept in the database as key=value lines.
using Rule = std::map<std::string, std::string>;

/// The account that authenticated, as far as the rule cares.
struct Account {
    std::string name;
    unsigned uid = 0;
    std::vector<std::string> groups; // names of every group the account is in
};

/// Right names become file names: letters, digits, '.', '-', '_' only,
/// not starting with '.', at most 200 characters.
bool isValidRightName(const std::string& name);

/// One "key=value" entry: key of lower-case letters and '-', value without
/// line breaks or zero bytes.
bool isValidEntry(const std::string& key, const std::string& value);

/// The stored text of a rule (sorted key=value lines).
std::string formatRule(const Rule& rule);

/// Parses stored text; nullopt for any malformed line.
std::optional<Rule> parseRule(const std::string& text);

/// Parses "key=value" arguments as given to the authority.
std::optional<Rule> parseRuleArguments(const std::vector<std::string>& arguments);

/// Whether the rule grants the right to this authenticated account:
/// class "user"; root when "allow-root" is "true"; otherwise a member
/// of "group".
bool ruleGrants(const Rule& rule, const Account& account);

/// Whether forms granted under this rule may be used by other processes.
bool ruleIsShared(const Rule& rule);

} // namespace brevane::auth
