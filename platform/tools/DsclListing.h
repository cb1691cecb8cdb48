#pragma once

#include <string>
#include <vector>

// `dscl . list ./users uid` over the passwd database.
namespace brevane::dscl {

struct Account {
    std::string name;
    long long uid = 0;
};

/// True for exactly the one query the scripts make: `. list ./users uid`
/// (also spelled /Users, any case of the node name).
bool isUserUidListing(const std::vector<std::string>& arguments);

/// How the Mac shows a uid: Linux's overflow id 65534 ("nobody") is the
/// Mac's -2, everything else as it is. Without this every listing would
/// match the three-digit filter the user list applies ("65534" holds 553).
long long macUid(long long uid);

/// One "name<spaces>uid" row per account, sorted by name byte for byte,
/// names padded to one column; a name seen twice is listed once.
std::string formatListing(std::vector<Account> accounts);

} // namespace brevane::dscl
