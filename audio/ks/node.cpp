// CKsNode is complete in its header; this unit keeps the module list whole.
#include "audio/ks/node.h"
