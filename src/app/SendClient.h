#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kavelin {

// `kavelin send`: a client that sends the lines of a file (or of standard input) to a running
// server and prints each reply on a line of its own, in the order of the lines.
struct SendOptions {
    std::string host = "127.0.0.1";
    int port = 2031;
    // Seconds to wait for the connection, and for a reply that is due.
    double timeout = 30;
    std::string input = "-"; // a file, or - for standard input
    bool help = false;
};

// False with a one-line reason when the arguments do not make a set of options.
bool parseSendArgs(const std::vector<std::string>& args, SendOptions& options, std::string& error);

// The text of `kavelin send --help`.
const char* sendUsageText();

// The lines are sent as they are read, the replies read meanwhile, so a long file never
// blocks on a server whose replies wait to be read. A line that cannot be sent as it stands
// (see sendableLine) is not sent: "ERROR not sent: REASON" stands in for its reply, and the
// reason goes to `err` with the line's number.
// Exit code: 0 when every line got OK, 1 when any got ERROR or was not sent, 2 for bad
// options, no connection, an input that cannot be read, or a server that closed the
// connection or left a reply due for the timeout.
int runSend(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

} // namespace kavelin
