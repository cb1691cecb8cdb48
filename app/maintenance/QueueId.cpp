#include "maintenance/QueueId.h"

#include <algorithm>

namespace brevane {

namespace {

bool isShortIdCharacter(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool isLongIdCharacter(char c)
{
    const bool alphanumeric = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return alphanumeric && std::string_view("AEIOUaeiou").find(c) == std::string_view::npos;
}

} // namespace

bool isQueueIdCharacter(char c)
{
    return isShortIdCharacter(c) || isLongIdCharacter(c);
}

bool isQueueId(std::string_view text)
{
    if (text.size() < 5 || text.size() > 32)
        return false;
    return std::all_of(text.begin(), text.end(), isShortIdCharacter)
        || (text.size() >= 10 && std::all_of(text.begin(), text.end(), isLongIdCharacter));
}

} // namespace brevane
