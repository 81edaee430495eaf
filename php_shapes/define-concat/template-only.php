<?php
/*
  Shop front page, English.
  STORE_NAME comes from the shop's configuration, read before this file.
*/

// Filled in with sprintf() where the text is shown.
$name = '%s';
$currency = 'USD';

define('NAVBAR_TITLE', 'Home');
define('TEXT_MAIN', 'This is the demo of <strong>' . STORE_NAME . '</strong>… Enjoy your visit.');
define('TEXT_GREETING', 'Hello ' . $name . '!');
define('TEXT_PRICES', 'All prices are in ' . $currency . ' and include VAT.');
define('TEXT_COPYRIGHT', sprintf('Copyright &copy; %s', STORE_NAME));
define('TEXT_SHOWING', sprintf('Showing <b>%s</b> to <b>%s</b>', '%d', '%d'));
define('HEADING_TITLE', 'What\'s new at ' . STORE_NAME . '?');
define('TEXT_CONTACT', 'Write to us');
define('TEXT_SEPARATOR', ' | ');
