# The component's identifiers, written once. The type library's IDL, the registration table, the
# manifest and the test scripts all take them from here.
set(HARROWTALLY_CLASS_ID 81910441-E763-412C-A89A-5CDF944D71C3)
set(HARROWTALLY_LIBRARY_ID A653F73F-955D-413D-B508-D3F651A94291)
set(HARROWTALLY_INTERFACE_ID 3F132BF0-186C-45F9-B611-29BB6145E2D7)
