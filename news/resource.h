// Resource identifiers of the news library: value-name strings, dialogs, bitmaps, labels.
#pragma once

#define IDS_LAST_PRESENTATION 2002
#define IDS_SERVER_ADDRESS 2003
#define IDS_SERVER_PORT 2004
#define IDS_DONT_SHOW 2005
#define IDS_MESSAGE_COUNT 2006
#define IDS_MESSAGE_NUMBER 2007
#define IDS_MESSAGE_DATE 2008
#define IDS_MESSAGE_TEXT 2009
