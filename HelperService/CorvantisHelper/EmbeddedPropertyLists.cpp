// The helper's information and job descriptions, carried inside its executable: the application
// compares "CFBundleVersion" of its own copy with the installed helper's before it installs.
// Part of the executable only, so the linker can never leave them out.

extern "C" {

[[gnu::used, gnu::section("__info_plist")]] const char corvantisHelperInfoPlist[] = R"({
  "CFBundleIdentifier": "com.corvantis.CorvantisHelper",
  "CFBundleInfoDictionaryVersion": "6.0",
  "CFBundleName": "CorvantisHelper",
  "CFBundleShortVersionString": "1",
  "CFBundleVersion": "78",
  "SMAuthorizedClients": [
    "identifier com.corvantis.Corvantis and certificate leaf[subject.CN] = \"Developer ID Application: Hazelmor (K3WQ58T1ZD)\""
  ]
})";

[[gnu::used, gnu::section("__launchd_plist")]] const char corvantisHelperLaunchdPlist[] = R"({
  "Label": "com.corvantis.CorvantisHelper",
  "MachServices": {"com.corvantis.CorvantisHelper": true}
})";
}
