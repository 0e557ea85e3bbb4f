#include "settings/SettingsServices.h"

#include "engine/SpaceEngine.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "switching/Accessibility.h"
#include "update/Updates.h"

SettingsServices SettingsServices::shared()
{
    return {SpaceEngine::shared(), Settings::shared(), SpaceStore::shared(), Accessibility::shared(),
            Updates::shared()};
}
