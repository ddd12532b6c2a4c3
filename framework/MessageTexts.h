// Identifiers of the program's message texts, shared by C++ and the resource script
// (which understands only preprocessor numbers, hence defines).
#pragma once

#define SListIndexError 64000
#define SInsertLineError 64001
#define SInvalidPropertyValue 64002
#define SResNotFound 64003
#define SWindowClass 64004
#define SReadError 64005
#define SPropertyDoesNotExist 64006
#define SInvalidImage 64007
#define SUnknownClass 64008
#define SUnresolvedReference 64009
#define SParentRequired 64010
#define SCannotFocus 64011
#define SInvalidNumber 64012
#define SDuplicateName 64013
#define SInvalidName 64014
#define SWindowDCError 64015
#define SInvalidBitmap 64016
#define SInvalidIcon 64017
#define SOSError 64018
#define SUnkOSError 64019
#define SOutOfResources 64020
#define SCreateError 64021
#define SFileNotFound 64022
#define SInvalidFilename 64023
#define STooManyOpenFiles 64024
#define SAccessDenied 64025
#define SEndOfFile 64026
#define SDiskFull 64027
#define SInvalidInput 64028
#define SInOutError 64029
#define SDateEncodeError 64030
#define STimeEncodeError 64031
#define SInvalidFloat 64032
#define SAbortError 64033
#define SShortMonthName1 64034  // then one per name, in order
#define SLongMonthName1 64046   // then one per name, in order
#define SShortDayName1 64058    // then one per name, in order
#define SLongDayName1 64065     // then one per name, in order
#define SOutOfMemory 64072
#define SFrameworkEnd 64073
// Other units keep their texts in blocks of their own (string tables merge per block of 16):
// viewer host 64256.., browsing 64512.., status bar 64768.., splitter 65024...
