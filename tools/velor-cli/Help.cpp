// The help texts: English, one example each.

#include <map>

#include "tools/velor-cli/Args.h"
#include "tools/velor-cli/ComCfgCommand.h"
#include "tools/velor-cli/Commands.h"

namespace velor::cli {

namespace {

constexpr const char* kLink =
    "Link (every bus command):\n"
    "  --tcp HOST[:PORT]      TCP peer that carries the frames (port 10000 by default)\n"
    "  --serial COMn|DEVICE   serial port: COMn (n >= 1) as the program maps it (an entry COMn\n"
    "                         in the working directory, else /dev/ttyS<n-1>) or a device path\n"
    "  --baud RATE            4800, 9600, 19200, 38400 (default) or 57600\n"
    "  --no-parity            8 data bits without parity (even parity by default)\n"
    "  (none of these)        channel 1 of COM.CFG in the working directory\n"
    "  --timeout MS           step time-out (default 200 ms, tripled at 4800 Bd)\n"
    "  --verbose              print every frame sent and received and its verdict on stderr\n"
    "  --pcap FILE            record every frame sent and received to FILE, a capture of\n"
    "                         link type 250 (RTAC serial) that Wireshark and tshark open;\n"
    "                         written as the frames come (16 KiB at a time) and completed\n"
    "                         when the command ends, also after Ctrl+C, SIGTERM or SIGHUP;\n"
    "                         a write that fails ends the command with exit 2\n";

const std::map<std::string, std::string>& helpTexts() {
    static const std::map<std::string, std::string> texts = {
        {"scan",
         "velor-cli scan [--from 0] [--to 31] [link]\n"
         "Probes each address with the short presence frame, one attempt each, and prints one\n"
         "line per address that answers. Exit 0 when one answered, 1 when none did.\n"
         "Example: velor-cli scan --tcp 127.0.0.1\n"},
        {"read",
         "velor-cli read kalu|tev|tevw|tew|mokr --address N [--count K] [--interval MS]\n"
         "          [--config FILE] [--board 0..7] [--csv FILE] [--decimal ,|.] [link]\n"
         "Sends the monitoring request K times (default 1), --interval apart (default the poll\n"
         "interval, 100 ms, tripled at 4800 Bd), and prints the decoded values. KALU: the twelve\n"
         "values, with the offsets, decimals and names of --config FILE.cfa. TEV, TEVW: every\n"
         "input's filtered and unfiltered state and its three value sets (rising edges, falling\n"
         "edges, pulse period), TEVW and TEW the outputs read back; names from --config\n"
         "FILE.cfb. MOKR: input board --board (default 0), from its counter and state reads.\n"
         "The requests of KALU, TEW, TEVW and MOKR always carry output data: read sends the\n"
         "outputs as 0 (all six KALU outputs, the TEW or TEVW output word, and for MOKR the\n"
         "output bytes of all eight boards). Use write to set them.\n"
         "--csv FILE: one row per answer: local time (ISO 8601, ms), address, the values; ';'\n"
         "between columns, decimal comma unless --decimal ., UTF-8 with a byte-order mark.\n"
         "Exit 1 when the module does not answer or answers negatively.\n"
         "Example: velor-cli read kalu --address 1 --count 10 --csv k.csv --config KonfigA.cfa\n"},
        {"write",
         "velor-cli write tew|tevw --address N --outputs WORD [link]\n"
         "velor-cli write kalu --address N --outputs v0,v1,v2,v3,v4,v5 [link]\n"
         "velor-cli write mokr --address N --board B --outputs BYTE [link]\n"
         "One read-and-write request; prints what the module reads back. Numbers are decimal\n"
         "or 0x hexadecimal; KALU sends the low 8 bits of each value. MOKR writes the output\n"
         "bytes of all eight boards: board B gets BYTE, the others 0.\n"
         "Example: velor-cli write tew --address 3 --outputs 0x0005 --tcp 127.0.0.1\n"},
        {"send",
         "velor-cli send FILE.cfa|FILE.cfb [--target tev|tew|mokr|zepa] [--address N]\n"
         "          [--baud-after INDEX] [--retries N] [link]\n"
         "Sends the configuration blocks of the file as the program does after \"Nastavit\":\n"
         "the image gets the tag \"save\" and the baud code of --baud-after, a KALU file goes as\n"
         "two halves in order and starts again with the first half after a failed block. A\n"
         "binary file needs --target (tev for TEV and TEVW). --address replaces the file's\n"
         "module address. --baud-after (0 = 4800 .. 4 = 57600) defaults to the rate of the\n"
         "link, so the module keeps its rate; the link itself is never switched. The program\n"
         "retries without end; here --retries failed blocks (default 3) end the send with\n"
         "exit 1. Prints each block's outcome.\n"
         "Example: velor-cli send KonfigA.cfa --address 1 --tcp 127.0.0.1\n"},
        {"show",
         "velor-cli show FILE [--json]\n"
         "Prints every field of a .cfa, .cfb or COM.CFG file by its name, texts decoded from\n"
         "code page 1250; --json prints the form that create takes back. Never writes.\n"
         "A file shorter than its kind's size is a wrong file (exit 2).\n"
         "Example: velor-cli show KonfigA.cfa --json > KonfigA.json\n"},
        {"create",
         "velor-cli create FILE --from JSON\n"
         "velor-cli create FILE --defaults\n"
         "Writes FILE from the JSON that show --json printed, byte for byte the same. Every\n"
         "field must be present and within its range; the first that is not is named.\n"
         "--defaults writes the file the program starts with when it has none.\n"
         "Example: velor-cli create KonfigA.cfa --from KonfigA.json\n"},
        {"diff",
         "velor-cli diff A B\n"
         "Prints the fields that differ between two files of the same kind. Exit 0 when they\n"
         "are equal, 1 when they differ, 2 when a file cannot be read. Never writes.\n"
         "Example: velor-cli diff KonfigA.cfa backup/KonfigA.cfa\n"},
        {"find",
         "velor-cli find --serial COMn|DEVICE [--baud LIST] [--parity even,none] [--from 0]\n"
         "               [--to 31] [--timeout MS]\n"
         "Probes every address of the range at every chosen baud rate (default all five) and\n"
         "parity (default even, then none), one attempt each with a time-out of MS (default\n"
         "30 ms, met by a module with the default response delay), parity by parity, baud\n"
         "rate by baud rate, address by address. Prints one line per answer: address, baud\n"
         "rate, parity and what answered (E5, frame, short frame, wrong reply). Exit 0 when\n"
         "something answered, 1 when nothing did. A full sweep takes about 24 s. An address\n"
         "that answers with both parities is noted on stderr: such a line (a pseudo-terminal,\n"
         "an adapter that ignores parity) does not tell the parity apart.\n"
         "Example: velor-cli find --serial COM1 --baud 9600,19200 --parity even\n"},
        {"report",
         "velor-cli report --address N --kind kalu|tev|tew|tevw|mokr --pdf FILE\n"
         "                 [--config FILE] [--board 0..7] [--seconds 3] [--technician NAME]\n"
         "                 [--note TEXT] [link]\n"
         "Polls the module for the given seconds and writes its service report (Servisni\n"
         "protokol) as a PDF: date, technician (the login name unless given), workstation,\n"
         "port and line settings, address and kind, the configuration file with its key fields\n"
         "and checksum (--config), the values as the unit window shows them and the link\n"
         "statistics of the address. As read does, it sends the outputs as 0 where the\n"
         "module's request carries output data. Exit 1 when the module never answered (the\n"
         "report is written and says so).\n"
         "Example: velor-cli report --address 1 --kind kalu --config KonfigA.cfa --pdf p.pdf\n"},
        {"demo",
         "velor-cli demo DIR\n"
         "Prepares a demo folder for the program against the module simulator: writes the\n"
         "analog configuration KonfigA.cfa (module address 1, the simulator's KALU) and the\n"
         "binary one KonfigB.cfb (address 2, its TEV) with their defaults, storing channel 1 of\n"
         "DIR/COM.CFG as the program does. Files that are already there are left alone. Exit 2\n"
         "when a file cannot be written.\n"
         "Example: velor-cli demo demo/\n"},
        {"ports",
         "velor-cli ports\n"
         "Lists COM1..COM9 and the device each leads to here, then every serial device of the\n"
         "system with its description, USB vendor:product, serial number, /dev/serial/by-id\n"
         "name and whether this user may open it (and if not, the group to join). Opens no\n"
         "port.\n"
         "Example: velor-cli ports\n"},
    };
    return texts;
}

}  // namespace

bool printCommandHelp(const std::string& command, std::ostream& out) {
    if (command == "comcfg") {
        printUsage(out);
        out << "Example: velor-cli comcfg COM.CFG --tcp 127.0.0.1\n";
        return true;
    }
    const auto it = helpTexts().find(command);
    if (it == helpTexts().end()) return false;
    out << it->second;
    if (command == "scan" || command == "read" || command == "write" || command == "send")
        out << kLink;
    return true;
}

void printOverview(std::ostream& out) {
    out << "velor-cli: the modules' bus and the program's files from the command line.\n"
           "Commands:\n"
           "  scan     list the addresses at which a module answers\n"
           "  read     read a module and print (and record) its values\n"
           "  write    set a module's outputs\n"
           "  send     send a configuration file to a module\n"
           "  show     print a .cfa, .cfb or COM.CFG file by its fields (--json)\n"
           "  create   write a file from the JSON of show --json\n"
           "  diff     the fields in which two files differ\n"
           "  find     search for modules at every address, baud rate and parity\n"
           "  ports    COM names and serial devices of this machine\n"
           "  comcfg   write or print a COM.CFG\n"
           "  demo     prepare a demo folder's missing configuration files\n"
           "  report   a module's service report as a PDF\n"
           "velor-cli help COMMAND (or COMMAND --help) tells more, with an example.\n"
           "Exit codes: 0 success, 1 the bus said no (no answer, negative reply, a port lost\n"
           "during find) or the files differ, 2 bad usage, a file or port that cannot be opened\n"
           "or output that cannot be written; 130 Ctrl+C, 143 SIGTERM, 129 SIGHUP (each ends a\n"
           "running command at once and closes the port), 141 when the reader of the output\n"
           "went away (| head).\n"
           "Example: velor-cli scan --tcp 127.0.0.1\n";
}

int runHelp(const Arguments& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        printOverview(out);
        return kExitOk;
    }
    if (printCommandHelp(args[0], out)) return kExitOk;
    err << "velor-cli: no command " << args[0] << "\n";
    printOverview(err);
    return kExitUsage;
}

int usageError(const std::string& command, const std::string& problem, std::ostream& err) {
    err << "velor-cli " << command << ": " << problem << "\n"
        << "Try: velor-cli help " << command << "\n";
    return kExitUsage;
}

}  // namespace velor::cli
