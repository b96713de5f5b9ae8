#include "loaders/fx3_download.h"

namespace veltra {

Flag g_bLoaderDownloadBusy{0};

}  // namespace veltra
