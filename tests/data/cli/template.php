<?php
// Template of an application
switch ($phrase) {
    case "Hello": $tmp = "Hello"; break;
  case strtolower("Bye"): $tmp = "Bye"; break;
}
define("_SAY","Say \"hi\"");
define("_PATH", "C:\temp\new"); // path
[[Tab]] = [[a	b]]
define("_ETE","été");
define("_SAY","duplicate");
?>