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
         "   -typed\tText mode as the machine stores a listing typed into it\r\n"
         "   -w<version>\ttokenize/detokenize using keywords of specified BASIC version.\r\n"
         "   -k<version>\tlist all keywords for the specified BASIC version\r\n"
         "   -k\t\tlist all BASIC versions available.\r\n"
         "   -l\t\tSpecify load address for program (in hex, no loading chars!).\r\n"
         "   -o <name>\tSpecify the output file name\r\n"
         "   -f\t\tForce overwrite output file\r\n"
         "   -disk <img>\tList the programs of an OS65D, Pico-DOS or HEXDOS disk (-t: store "
         "them)\r\n"
         "   -delete <n>..\tWith -disk and -o: delete entries (-rename OLD=NEW, -put NAME=FILE)\r\n"
         "   -raw [<n>..]\tWith -disk: write entries' bytes as the DOS loads them\r\n"
         "   -check\tWith -disk: read the whole disk and report what is wrong\r\n"
         "   -form <f>\tWrite the disk flat (.65D) or as a bitstream (.os5/.os8)\r\n"
         "   -blank <img>\tMake a blank OS65D data disk (-size 8 for 8 inch)\r\n"
         "   -json\t\tWith -disk: the directory as one JSON document\r\n"
         "   -memory <f>\tList the BASIC program in a memory image or emulator snapshot\r\n"
         "\r\n\tVersions:\r\n"
         "\t0  OSI BASIC In ROM (Basic starts @ $0300)\r\n"
         "\t1  OSI OS65D V3.2  disk PlotBASIC 5.25 inch (Basic starts @ $3A7E)\r\n"
         "\t2  OSI OS65D V3.3  disk BASIC for 5.25 inch (Basic starts @ $3A7E)\r\n"
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

// The versions list, as -k writes it to standard error.
inline const std::string versions_list =
    "\r\n  The following versions are supported on OSI Brenvik V1.00\r\n\r\n"
    "Version 0, Load Address $0300, OSI BASIC In ROM (C1/C2/C4)\r\n"
    "Version 1, Load Address $3A7E, OSI OS65D v3.2 Plot BASIC 5.25\" disk\r\n"
    "Version 2, Load Address $3A7E, OSI OS65D v3.3 BASIC 5.25\" disk\r\n"
    "Version 3, Load Address $327E, OSI OS65D v3.1 BASIC 5.25\" disk\r\n"
    "Version 4, Load Address $317E, OSI OS65D V3.2 BASIC 8\" disk\r\n"
    "Version 5, Load Address $6000, OSI OS65U V1.42 Hard disk BASIC\r\n"
    "Version 6, Load Address $6000, OSI OS65U V1.44 BASIC 8\" disk\r\n"
    "\r\n";

// The keyword listing of a row, as -k<row> writes it to standard output: the heading, then
// every keyword followed by a tab.
inline std::string keyword_listing(int row) {
  static const char* const headings[] = {
      "OSI BASIC In ROM (C1/C2/C4)",      "OSI OS65D v3.2 Plot BASIC 5.25\" disk",
      "OSI OS65D v3.3 BASIC 5.25\" disk", "OSI OS65D v3.1 BASIC 5.25\" disk",
      "OSI OS65D V3.2 BASIC 8\" disk",    "OSI OS65U V1.42 Hard disk BASIC",
      "OSI OS65U V1.44 BASIC 8\" disk"};
  const std::string start = "END FOR NEXT DATA INPUT DIM READ LET GOTO RUN IF RESTORE GOSUB ";
  const std::string middle =
      "DEF POKE PRINT CONT LIST CLEAR NEW TAB( TO FN SPC( THEN NOT STEP + - * / ^ AND OR > = < "
      "SGN INT ABS USR FRE POS SQR RND LOG EXP COS SIN TAN ";
  const std::string end = "PEEK LEN STR$ VAL ASC CHR$ LEFT$ RIGHT$ MID$ ";
  const std::string words[] = {
      start + "RETURN REM STOP ON NULL WAIT LOAD SAVE " + middle + "ATN " + end,
      start + "RETURN REM STOP ON NULL PLOT EXIT DISK " + middle + "ATN " + end,
      start + "RETURN REM STOP ON EDIT TRAP EXIT DISK " + middle + "xxx " + end,
      start + "RETURN REM STOP ON NULL WAIT EXIT DISK " + middle + "ATN " + end,
      start + "RETURN REM STOP ON NULL WAIT EXIT DISK " + middle + "ATN " + end,
      start +
          "RETURN REM STOP ON NULL WAIT LOAD SAVE DEF POKE PRINT CONT LIST CLEAR INDEX< OPEN "
          "CLOSE FIND DEV FLAG NEW TAB( TO FN SPC( THEN NOT STEP + - * / ^ AND OR > = < SGN INT "
          "ABS USR FRE POS SQR RND LOG EXP COS SIN TAN ATN PEEK LEN STR$ VAL ASC CHR$ INDEX LEFT$ "
          "RIGHT$ MID$ ",
      start +
          "RETURN REM STOP ON NULL WAIT LOAD SAVE DEF POKE PRINT CONT LIST CLEAR OPEN CLOSE FIND "
          "DEV FLAG NEW TAB( TO FN SPC( THEN NOT STEP + - * / ^ AND OR > = < SGN INT ABS USR FRE "
          "POS SQR RND LOG EXP COS SIN TAN ATN PEEK LEN STR$ VAL ASC CHR$ INDEX LEFT$ RIGHT$ "
          "MID$ ",
  };
  std::string tabbed = words[row];
  for (char& c : tabbed)
    if (c == ' ') c = '\t';
  return std::string("\r\n  Available Keywords on ") + headings[row] + "\r\n" + tabbed + "\r\n";
}

}  // namespace brenvik::testing
