// A library whose string 1 differs from the test program's.
#include <ceresource.h>

static const CeStringResource strings[] = {{1, u"Library title"}, {7, u"Only here"}};
CE_RESOURCES(strings);
