#include "TestSeam.h"

namespace {

const UiTestSeam* g_seam = nullptr;

}  // namespace

void SetUiTestSeam(const UiTestSeam* seam) {
    g_seam = seam;
}
const UiTestSeam* GetUiTestSeam() {
    return g_seam;
}
