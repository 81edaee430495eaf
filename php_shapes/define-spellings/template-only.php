<?php
/**
 * Language file: English
 * Maintained by the core team. Copy this file to translate the site.
 */
defined('_VALID_MOS') or die('Direct access to this location is not allowed.');

define('_JOINED', 'Joined');
@define('_LOGIN', 'Log in');
\define('_LOGOUT', 'Log out');
DEFINE('_SEARCH_BOX', 'search...');
Define("_SAY_HI", "Say \"hi\" to {name}");
define ( '_DISK_PATH' , 'Files are kept in C:\\temp\\' ) ;
define('_ITS', 'It\'s done');
/* define('_OLD_LOGIN', 'Sign in'); */
/*
define('_RETIRED', 'Retired');
define('_LOGIN', 'Sign in here');
*/
// define('_DRAFT', 'Draft');
# define('_HASHED', 'Hashed');
define('_NO_COMMENT', 'Comments /* are off */ here'); // trailing // comment
define("_DOLLAR","Costs $5");
?>
