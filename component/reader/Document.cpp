#include "component/reader/Document.h"
