#include "app/MainWindow.h"
#include "batch/Batch.h"
#include "filter/Filter.h"
#include "picturelist/PictureList.h"

// Each module's handlers, bound to the events of the window's controls.
void BindHandlers(MainWindow& w) {
    w.BindCommand(w.浏览图片, &ChoosePictureFolder);
    w.BindCommand(w.按钮_重新获取图片列表, &FillPictureList);
    QObject::connect(w.图片列表, &PictureListView::leftClicked, &w,
                     [&w] { w.RunCommand([&w] { PreviewClickedRow(w); }); });
    w.BindCommand(w.按钮_筛选图片, &RunFilterPass);
    w.BindCommand(w.按钮_执行, &RunBatchOperation);
}
