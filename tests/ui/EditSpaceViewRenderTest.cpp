#include "UiTest.h"

#include "store/SpaceStore.h"
#include "ui/EditSpaceView.h"

TEST_F(UiTest, EditorRenderDraft)
{
    Desktop made = desktop(2, SpaceIcon::symbol("envelope.fill"), TileColor::palette(4), "Mail");
    SpaceStore::shared().change(made.managedID(), [](SpaceMeta& meta) { meta.hotkey = Hotkey{46, 0x1800}; });
    EditSpaceView view(made, true);
    const QImage image = render(view, Qt::black, 2);
    image.save("/tmp/editor-draft.png");
}
