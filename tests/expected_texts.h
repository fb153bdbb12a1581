// The usage text as users see it, written out in full so that tests pin every byte.
#pragma once

#include <cstdio>
#include <string>

namespace brenvik::testing {

inline std::string usage_text(const std::string& program_name) {
  char synopsis[256];
  std::snprintf(synopsis, sizeof synopsis,
                "\r\nOSI BrenVik V1.1\r\nUsage: %7s\t[-text | -w<version>]\r\n"
                "\t\t[-skip <bytes>] [-l <hex>]  [--] [file list]\r\n\t\t[-k[<version>]]\r\n",
                program_name.c_str());
  return std::string(synopsis) +
         "\r\n   -h -help\tOutput this help screen here\r\n"
         "   -skip <n>\tSkip <n> HEX bytes in the beginning of input file.\r\n"
         "   -t -text\tForce text mode\r\n"
         "   -w<version>\ttokenize/detokenize using keywords of specified BASIC version.\r\n"
         "   -k<version>\tlist all keywords for the specified BASIC version\r\n"
         "   -k\t\tlist all BASIC versions available.\r\n"
         "   -l\t\tSpecify load address for program (in hex, no loading chars!).\r\n"
         "   -o<name>\tSpecify the output file name\r\n"
         "   -f\t\tForce overwrite output file\r\n"
         "\r\n\tVersions:\r\n"
         "\t0  OSI BASIC In ROM (Basic starts $ $0300)\r\n"
         "\t1  OSI OS65D V3.3  disk BASIC for 5.25 inch (Basic starts @ $3A7E)\r\n"
         "\t2  OSI OS65D V3.2  disk PlotBASIC 5.25 inch (Basic starts @ $3A7E)\r\n"
         "\t3  OSI OS65D V3.1  disk BASIC for 5.25 inch (Basic starts @ $327E)\r\n"
         "\t4  OSI OS65D V3.1  disk BASIC for 8 inch    (Basic starts @ $317E)\r\n"
         "\t5  OSI OS65U V1.42 disk BASIC for 8 inch    (Basic starts @ $6000)\r\n"
         "\t6  OSI OS65U V1.44 disk BASIC for 8 inch    (Basic starts @ $6000)\r\n\r\n"
         "\tUsage examples:\r\n"
         "\tbrenvik  -o outputfile.bas inputfile.tok\r\n"
         "\t\tConvert inputfile.tok to a text file in outputfile.bas,\r\n"
         "\tbrenvik  -t -o outputfile.tok  inputfile.bas\r\n"
         "\t\tConvert inputfile.bas to a tokenized file in outputfile.tok\r\n\r\n";
}

inline const std::string banner = "\r\nOSI BASIC (De)Tokenizer.\r\n";

}  // namespace brenvik::testing
