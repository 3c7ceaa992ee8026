// Compiled against the lowest layer's include root only: its own header is found, a page's is
// not. The check passes when the compiler names the missing page header.
#include "ata/IdentifyBlock.h"
#include "pages/smart/SmartLayouts.h"
