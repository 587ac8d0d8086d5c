#pragma once
// Saving a learned key set as the wizard does when the user leaves the
// learning page: the box is filed in the user's catalogue (the user brand,
// the typed model name), the catalogue is rewritten, and the keys go to the
// key file named after the model's catalogue position.

#include <string>
#include <string_view>

#include "common/keydb/KeyList.h"
#include "common/keydb/UserBox.h"

namespace quorvane::keydb {

struct LearnedKeySaveTexts {
  std::string userBrand{kUserDefinedBrand};  // localised LAB_USER_DEFINED
  std::string notListed{kNotListedModel};    // localised LAB_NOT_LISTED
};

enum class LearnedKeySaveOutcome {
  NoCatalogue,         // the catalogue is missing, unreadable or has no brand: nothing saved
  KeyFileNotCreated,   // the catalogue may have gained the entry; the keys stay in the list
  KeyFileWriteFailed,  // the partial key file was deleted; the list was emptied
  Saved,
};

struct LearnedKeySave {
  LearnedKeySaveOutcome outcome = LearnedKeySaveOutcome::NoCatalogue;
  // Full path of the key file, the device's `ModelFile`; set once the file
  // was created (Saved and KeyFileWriteFailed).
  std::string modelFile;
  std::string message;           // why the outcome is not Saved
  std::string catalogueMessage;  // why rewriting the catalogue failed; the save goes on regardless
};

// `databaseFolder` is the per-user database folder holding BoxInfo.xml.
// Once the key file could be created the learned list is emptied.
LearnedKeySave SaveLearnedKeys(std::string_view databaseFolder, std::string_view modelName,
                               CRemoteKeyList& learned, const LearnedKeySaveTexts& texts = {});

}  // namespace quorvane::keydb
