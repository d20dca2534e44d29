// The PE image writer (tools/pewriter), under the test-support names the tests use.
#pragma once

#include "pewriter/pewriter.h"

namespace tivra::testsupport {

using pewriter::PeFormat;
using pewriter::PeImageOptions;
using pewriter::PeResources;
using pewriter::PeVersion;
using pewriter::buildPeImage;
using pewriter::writePeFile;

}  // namespace tivra::testsupport
