#include "CommandLine.h"

namespace brevane::launchd {
namespace {

Invocation invalid(const std::string& why)
{
    Invocation invocation;
    invocation.error = why;
    return invocation;
}

Invocation parseLoadOrUnload(Invocation::Verb verb, const std::vector<std::string>& arguments)
{
    Invocation invocation;
    invocation.verb = verb;
    std::size_t i = 1;
    for (; i < arguments.size() && arguments[i].size() > 1 && arguments[i][0] == '-'; ++i) {
        if (arguments[i] != "-w")
            return invalid("unknown option " + arguments[i]);
        invocation.writeOverride = true;
    }
    invocation.paths.assign(arguments.begin() + long(i), arguments.end());
    if (invocation.paths.empty())
        return invalid("no property list given");
    return invocation;
}

} // namespace

Invocation parseCommandLine(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        return invalid("no command given");
    const std::string& command = arguments.front();
    if (command == "load")
        return parseLoadOrUnload(Invocation::Verb::Load, arguments);
    if (command == "unload")
        return parseLoadOrUnload(Invocation::Verb::Unload, arguments);
    if (command == "list") {
        if (arguments.size() != 1)
            return invalid("list takes no arguments");
        Invocation invocation;
        invocation.verb = Invocation::Verb::List;
        return invocation;
    }
    if (command == "remove") {
        if (arguments.size() != 2)
            return invalid("remove takes one label");
        Invocation invocation;
        invocation.verb = Invocation::Verb::Remove;
        invocation.paths = { arguments[1] };
        return invocation;
    }
    return invalid("unknown command " + command);
}

} // namespace brevane::launchd
