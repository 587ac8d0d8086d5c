#include "common/keydb/LearnedKeySave.h"

#include "common/keydb/Catalogue.h"
#include "common/keydb/KeyFile.h"
#include "platform/paths/PathJoin.h"

namespace quorvane::keydb {

LearnedKeySave SaveLearnedKeys(std::string_view databaseFolder, std::string_view modelName,
                               CRemoteKeyList& learned, const LearnedKeySaveTexts& texts) {
  LearnedKeySave result;
  if (databaseFolder.empty()) {
    result.message = "no database folder";
    return result;
  }
  const std::string cataloguePath = platform::JoinPath(databaseFolder, kCatalogueFileName);
  auto catalogue = LoadCatalogue(cataloguePath);
  if (!catalogue) {
    result.message = catalogue.error().message;
    return result;
  }
  if (catalogue->brands.empty()) {
    result.message = cataloguePath + ": the catalogue has no brand";
    return result;
  }

  const std::string fileName = AddUserBox(*catalogue, texts.userBrand, texts.notListed, modelName);
  if (platform::Status saved = SaveCatalogue(*catalogue, cataloguePath); !saved) {
    result.catalogueMessage = saved.error().message;
  }

  const std::string keyFile = platform::JoinPath(databaseFolder, fileName);
  const KeyFileWrite written = WriteKeyFile(keyFile, learned);
  switch (written.outcome) {
    case KeyFileWriteOutcome::NotCreated:
      result.outcome = LearnedKeySaveOutcome::KeyFileNotCreated;
      result.message = written.message;
      return result;
    case KeyFileWriteOutcome::WriteFailed:
      result.outcome = LearnedKeySaveOutcome::KeyFileWriteFailed;
      result.message = written.message;
      break;
    case KeyFileWriteOutcome::Written:
      result.outcome = LearnedKeySaveOutcome::Saved;
      break;
  }
  result.modelFile = keyFile;
  learned.Clear();
  return result;
}

}  // namespace quorvane::keydb
