<?php
/**
*
* Board administration [English]
*
* @copyright (c) The Board Team
* @license GNU General Public License, version 2
*
*/

/**
* DO NOT CHANGE
*/
if (!defined('IN_APP'))
{
	exit;
}

if (empty($lang) || !is_array($lang))
{
	$lang = array();
}

$lang = array_merge($lang, array(
	'ACP_BOARD_SETTINGS'	=> 'Board settings',
	'ACP_BOARD_SETTINGS_EXPLAIN'	=> 'Here you can set the basic operation of your board, give it a fitting name and description.',
	'BOARD_DISABLE'			=> 'Disable board',
	'BOARD_DISABLE_MSG'		=> "Disable board message",
	'CUSTOM_DATEFORMAT'		=> 'Custom…',
	'POSTS_COUNT'			=> '%1$d posts by %2$s',

	'datetime'			=> array(
		'TODAY'		=> 'Today',
		'YESTERDAY'	=> 'Yesterday',
	),
));

$lang = array_merge($lang, [
	'WARNING_EXPLAIN' => 'Warnings are
shown to the member.',
	'SAVE' => 'Save',
]);
