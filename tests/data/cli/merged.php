<?php
// Template of an application
switch ($phrase) {
    case "Hello": $tmp = "Bonjour"; break;
case strtolower("Bye"): $tmp = "Bye"; break;
}
define("_SAY","Dis \"salut\"");
define("_PATH","C:\temp\new"); // path
[[Tab]] = [[a	b]]
define("_ETE","été");
define("_UNKNOWN","x");
define("_TAB","ignored");
define("_SAY","duplicate");
?>