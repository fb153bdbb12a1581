// A large BASIC program for measurements: lines in the style of the machines' own
// programs (strings, loops, arithmetic, REM and DATA), in words every version knows.
#pragma once

#include <cstddef>
#include <string>

namespace brenvik::bench {

// A text listing of numbered lines ending in CR LF, about `text_bytes` long. The same size
// always gives the same program.
inline std::string sample_listing(std::size_t text_bytes) {
  static const char* const statements[] = {
      "PRINT \"SCORE: \";S;\" OF \";T",
      "FOR I=1 TO 10:A(I)=A(I)+I*2:NEXT I",
      "IF X>Y THEN GOSUB 500",
      "REM MOVE THE SHIP ONE STEP TO THE LEFT",
      "DATA 1,2,3,4,5,6,7,8:READ K",
      "A$=LEFT$(B$,3)+MID$(C$,2,1)+RIGHT$(D$,1)",
      "POKE 53248+I,PEEK(I+1024):X=X+1",
      "INPUT \"YOUR NAME\";N$:IF LEN(N$)=0 THEN 20",
      "X=INT(RND(1)*6)+1:Y=ABS(X-3)*SGN(Z)",
      "ON K GOTO 100,200,300,400",
      "PRINT TAB(10);\"HELLO, \";N$;\"!\":PRINT SPC(3);CHR$(65)",
      "DEF FN A(X)=X*X+2*X+1:Z=FN A(3)",
      "IF A<=B AND C<>D OR NOT E THEN PRINT \"OK\":GOTO 40",
      "S=S+SQR(X*X+Y*Y):T=T+1:RETURN",
  };
  constexpr std::size_t statement_count = sizeof statements / sizeof statements[0];
  std::string listing;
  unsigned number = 10;
  for (std::size_t i = 0; listing.size() < text_bytes; ++i, number += 10) {
    listing += std::to_string(number % 65536) + " " + statements[(i * 5) % statement_count];
    listing += "\r\n";
  }
  return listing;
}

}  // namespace brenvik::bench
