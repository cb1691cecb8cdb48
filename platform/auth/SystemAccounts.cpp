#include "SystemAccounts.h"

#include "Credentials.h"

#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <security/pam_appl.h>
#include <unistd.h>
#include <vector>

namespace brevane::auth {

namespace {

struct Answers {
    const std::string* user;
    const std::string* password;
};

void freeResponses(pam_response* responses, int count)
{
    for (int i = 0; i < count; ++i) {
        if (responses[i].resp) {
            explicit_bzero(responses[i].resp, strlen(responses[i].resp));
            free(responses[i].resp);
        }
    }
    free(responses);
}

// Answers PAM's prompts from what the application sent; nothing is shown.
int converse(int count, const pam_message** messages, pam_response** out, void* data)
{
    if (count <= 0 || count > PAM_MAX_NUM_MSG)
        return PAM_CONV_ERR;
    const auto* answers = static_cast<const Answers*>(data);
    auto* responses = static_cast<pam_response*>(calloc(static_cast<size_t>(count), sizeof(pam_response)));
    if (!responses)
        return PAM_BUF_ERR;
    for (int i = 0; i < count; ++i) {
        const std::string* answer = nullptr;
        if (messages[i]->msg_style == PAM_PROMPT_ECHO_OFF)
            answer = answers->password;
        else if (messages[i]->msg_style == PAM_PROMPT_ECHO_ON)
            answer = answers->user;
        else if (messages[i]->msg_style != PAM_ERROR_MSG && messages[i]->msg_style != PAM_TEXT_INFO) {
            freeResponses(responses, count);
            return PAM_CONV_ERR;
        }
        if (answer && !(responses[i].resp = strdup(answer->c_str()))) {
            freeResponses(responses, count);
            return PAM_BUF_ERR;
        }
    }
    *out = responses;
    return PAM_SUCCESS;
}

std::vector<char> lookupBuffer()
{
    const long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    return std::vector<char>(size > 0 ? static_cast<size_t>(size) * 4 : 65536);
}

std::string groupName(gid_t gid)
{
    std::vector<char> buffer(65536);
    group entry {};
    group* found = nullptr;
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return found->gr_name;
}

} // namespace

std::optional<Account> lookupAccount(const std::string& name)
{
    auto buffer = lookupBuffer();
    passwd entry {};
    passwd* found = nullptr;
    if (getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    Account account{found->pw_name, found->pw_uid, {}};
    int count = 64;
    std::vector<gid_t> gids(static_cast<size_t>(count));
    if (getgrouplist(found->pw_name, found->pw_gid, gids.data(), &count) < 0) {
        gids.resize(static_cast<size_t>(count));
        if (getgrouplist(found->pw_name, found->pw_gid, gids.data(), &count) < 0)
            return std::nullopt;
    }
    gids.resize(static_cast<size_t>(count));
    for (const gid_t gid : gids) {
        std::string group = groupName(gid);
        if (!group.empty())
            account.groups.push_back(std::move(group));
    }
    return account;
}

std::optional<std::string> resolveAccountName(const std::string& typed)
{
    auto buffer = lookupBuffer();
    passwd entry {};
    passwd* found = nullptr;
    if (getpwnam_r(typed.c_str(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return std::string(found->pw_name);
    std::vector<AccountEntry> accounts;
    setpwent();
    while (const passwd* next = getpwent())
        accounts.push_back({next->pw_name, next->pw_gecos ? next->pw_gecos : ""});
    endpwent();
    return accountNameFor(typed, accounts);
}

std::string userNameOf(uid_t uid)
{
    auto buffer = lookupBuffer();
    passwd entry {};
    passwd* found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::to_string(uid);
    return found->pw_name;
}

bool pamAuthenticate(const std::string& service, const std::string& user, const std::string& password,
                     const std::string& requestingUser)
{
    Answers answers{&user, &password};
    const pam_conv conversation{converse, &answers};
    pam_handle_t* handle = nullptr;
    if (pam_start(service.c_str(), user.c_str(), &conversation, &handle) != PAM_SUCCESS)
        return false;
    int status = pam_set_item(handle, PAM_RUSER, requestingUser.c_str());
    if (status == PAM_SUCCESS)
        status = pam_authenticate(handle, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
    if (status == PAM_SUCCESS)
        status = pam_acct_mgmt(handle, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
    pam_end(handle, status);
    return status == PAM_SUCCESS;
}

} // namespace brevane::auth
